#include "engine/run/CommandLineRequest.h"

#include <QRegularExpression>

#include <array>
#include <functional>
#include <utility>

namespace kavenra {
namespace {

// A whole number from `lowest` to `highest`, written in plain digits.
std::optional<int> NumberIn(const QString& text, int lowest, int highest) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch()) return std::nullopt;
    const int value = text.toInt();
    if (value < lowest || value > highest) return std::nullopt;
    return value;
}

// The largest side a conversion is asked for: what a 32-bit size field of the window takes.
constexpr int kLargestSide = 2147483647 / 2;

std::optional<QSize> SizeOf(const QString& text) {
    const QStringList sides = text.split(QLatin1Char('x'));
    if (sides.size() != 2) return std::nullopt;
    const std::optional<int> width = NumberIn(sides[0], 1, kLargestSide);
    const std::optional<int> height = NumberIn(sides[1], 1, kLargestSide);
    if (!width || !height) return std::nullopt;
    return QSize(*width, *height);
}

// A name among `names`, numbered from 1 as the options dialog stores its codes.
template <std::size_t N>
std::optional<int> CodeOfName(const QString& text, const std::array<const char*, N>& names) {
    for (std::size_t i = 0; i < N; ++i) {
        if (text == QLatin1String(names[i])) return static_cast<int>(i) + 1;
    }
    return std::nullopt;
}

constexpr std::array<const char*, 6> kFilterNames = {"box",     "bilinear",    "bspline",
                                                     "bicubic", "catmull-rom", "lanczos"};
// In the order of the "Save as" codes 0 to 4.
constexpr std::array<const char*, 5> kFormatNames = {"same", "jpeg", "png", "webp", "tiff"};

struct ValueOption {
    const char* name;
    const char* what;  // the values, as the usage error names them
    std::function<bool(CommandLineRequest&, const QString&)> take;
};

std::function<bool(CommandLineRequest&, const QString&)> Code(
    std::optional<int> CommandLineRequest::*field, int lowest, int highest) {
    return [field, lowest, highest](CommandLineRequest& request, const QString& value) {
        request.*field = NumberIn(value, lowest, highest);
        return (request.*field).has_value();
    };
}

const std::vector<ValueOption>& ValueOptions() {
    static const std::vector<ValueOption> options = {
        {"--size", "WIDTHxHEIGHT, each 1 or more",
         [](CommandLineRequest& request, const QString& value) {
             request.size = SizeOf(value);
             return request.size.has_value();
         }},
        {"--longest", "a number of pixels, 1 or more",
         Code(&CommandLineRequest::longest, 1, kLargestSide)},
        {"--output", "a folder",
         [](CommandLineRequest& request, const QString& value) {
             request.output = value;
             return !value.isEmpty();
         }},
        {"--format", "same, jpeg, png, webp or tiff",
         [](CommandLineRequest& request, const QString& value) {
             const std::optional<int> code = CodeOfName(value, kFormatNames);
             if (code) request.saveAs = *code - 1;
             return code.has_value();
         }},
        {"--filter", "box, bilinear, bspline, bicubic, catmull-rom or lanczos",
         [](CommandLineRequest& request, const QString& value) {
             request.filter = CodeOfName(value, kFilterNames);
             return request.filter.has_value();
         }},
        {"--jpeg-quality", "1 to 5", Code(&CommandLineRequest::jpegQuality, 1, 5)},
        {"--png-compression", "1 to 4", Code(&CommandLineRequest::pngCompression, 1, 4)},
        {"--bmp-compression", "1 or 2", Code(&CommandLineRequest::bmpCompression, 1, 2)},
        {"--tga-compression", "1 or 2", Code(&CommandLineRequest::targaCompression, 1, 2)},
        {"--tiff-compression", "1 to 4", Code(&CommandLineRequest::tiffCompression, 1, 4)},
        {"--webp-quality", "1 to 100", Code(&CommandLineRequest::webpQuality, 1, 100)},
        {"--max-kb", "1 to 1000000",
         Code(&CommandLineRequest::sizeBudgetKb, 1, kLargestSizeBudgetKb)},
    };
    return options;
}

struct SwitchOption {
    const char* name;
    bool CommandLineRequest::*field;
};

constexpr std::array<SwitchOption, 11> kSwitches = {{
    {"--keep-raw-size", &CommandLineRequest::keepRawSize},
    {"--webp-lossless", &CommandLineRequest::webpLossless},
    {"--no-enlarge", &CommandLineRequest::noEnlarge},
    {"--fit", &CommandLineRequest::fitWithin},
    {"--keep-dates", &CommandLineRequest::keepDates},
    {"--recursive", &CommandLineRequest::recursive},
    {"--strip-location", &CommandLineRequest::stripLocation},
    {"--fast", &CommandLineRequest::fast},
    {"--stop-on-failure", &CommandLineRequest::stopOnFailure},
    {"--json", &CommandLineRequest::json},
    {"--notify", &CommandLineRequest::notify},
}};

UsageError Error(const QString& message) {
    return {message.toStdString()};
}

// Takes the option at `at` (and its value, moving `at` past it); a usage error when it is unknown
// or its value is missing or out of range.
std::optional<UsageError> TakeOption(const QStringList& arguments, int& at,
                                     CommandLineRequest& request) {
    const QString argument = arguments[at];
    const int equals = argument.indexOf(QLatin1Char('='));
    const QString name = equals < 0 ? argument : argument.left(equals);
    for (const SwitchOption& option : kSwitches) {
        if (name != QLatin1String(option.name)) continue;
        if (equals >= 0) return Error(QStringLiteral("%1 takes no value").arg(name));
        request.*option.field = true;
        return std::nullopt;
    }
    for (const ValueOption& option : ValueOptions()) {
        if (name != QLatin1String(option.name)) continue;
        QString value;
        if (equals >= 0) {
            value = argument.mid(equals + 1);
        } else if (at + 1 < arguments.size()) {
            value = arguments[++at];
        } else {
            return Error(
                QStringLiteral("%1 needs a value: %2").arg(name, QLatin1String(option.what)));
        }
        if (!option.take(request, value)) {
            return Error(QStringLiteral("%1: \"%2\" is not %3")
                             .arg(name, value, QLatin1String(option.what)));
        }
        return std::nullopt;
    }
    return Error(QStringLiteral("unknown option %1").arg(name));
}

std::optional<UsageError> CheckWhole(const CommandLineRequest& request) {
    const int ways =
        (request.size ? 1 : 0) + (request.longest ? 1 : 0) + (request.keepRawSize ? 1 : 0);
    if (ways == 0)
        return Error(QStringLiteral("no size: give --size, --longest or --keep-raw-size"));
    if (ways > 1) {
        return Error(QStringLiteral("--size, --longest and --keep-raw-size exclude each other"));
    }
    if (request.inputs.isEmpty()) return Error(QStringLiteral("no image or folder to resize"));
    return std::nullopt;
}

}  // namespace

std::variant<CommandLineRequest, UsageError> ReadCommandLineRequest(const QStringList& arguments) {
    CommandLineRequest request;
    bool optionsEnded = false;
    for (int at = 0; at < arguments.size(); ++at) {
        const QString& argument = arguments[at];
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            if (std::optional<UsageError> error = TakeOption(arguments, at, request)) return *error;
        } else {
            request.inputs << argument;
        }
    }
    if (std::optional<UsageError> error = CheckWhole(request)) return *error;
    return request;
}

FormatOptions WithRequestedOptions(const CommandLineRequest& request, FormatOptions stored) {
    const auto put = [](int& code, const std::optional<int>& requested) {
        if (requested) code = *requested;
    };
    put(stored.guardar_como, request.saveAs);
    put(stored.filtro_redimension, request.filter);
    put(stored.jpeg, request.jpegQuality);
    put(stored.png, request.pngCompression);
    put(stored.bmp, request.bmpCompression);
    put(stored.tga, request.targaCompression);
    put(stored.tif, request.tiffCompression);
    put(stored.webp, request.webpQuality);
    if (request.webpLossless) stored.webp_sin_perdida = 1;
    if (request.fast) stored.decodificacion_rapida = 1;
    if (request.noEnlarge) stored.no_ampliar = 1;
    if (request.fitWithin) stored.ajustar_dentro = 1;
    if (request.keepDates) stored.conservar_fechas = 1;
    if (request.recursive) stored.incluir_subcarpetas = 1;
    if (request.stripLocation) stored.quitar_ubicacion = 1;
    put(stored.limite_kb, request.sizeBudgetKb);
    return stored;
}

std::string CommandLineUsage() {
    return "Usage: kavenra --resize SIZE [OPTION]... IMAGE|FOLDER...\n"
           "Resizes the images, and the images directly inside the folders, without a window.\n"
           "\n"
           "Size, one of:\n"
           "      --size WxH            width and height in pixels\n"
           "      --longest N           the longer side N pixels, the other in proportion\n"
           "      --keep-raw-size       camera RAW files at their own size\n"
           "\n"
           "      --output DIR          where the outputs go (default: RES beside the last item)\n"
           "      --format F            same, jpeg, png, webp or tiff\n"
           "      --filter F            box, bilinear, bspline, bicubic, catmull-rom or lanczos\n"
           "      --jpeg-quality 1-5    --png-compression 1-4   --bmp-compression 1-2\n"
           "      --tga-compression 1-2 --tiff-compression 1-4  --webp-quality 1-100\n"
           "      --webp-lossless       WebP without loss\n"
           "      --fast                decode large JPEG photos at a reduced scale\n"
           "      --no-enlarge          leave pictures already within the size at their size\n"
           "      --fit                 with --size, fit inside WxH keeping the proportions\n"
           "      --keep-dates          give each output its image's modification time\n"
           "      --recursive           a folder brings the images of its subfolders too\n"
           "      --strip-location      remove the location (GPS, place names) from outputs\n"
           "      --max-kb N            JPEG and WebP outputs at most N KB, 1-1000000\n"
           "      --stop-on-failure     stop at the first file that fails\n"
           "      --json                one JSON object per file on standard output\n"
           "      --notify              tell the outcome in a desktop notification as well\n"
           "      --                    what follows is an image or folder, whatever its name\n"
           "\n"
           "Options not given are the ones stored in the options dialog.\n"
           "Exit status: 0 every file written, 1 some failed or none could be, 2 a usage\n"
           "error, 130 interrupted (Ctrl+C), 143 ended (SIGTERM); nothing is left half\n"
           "written.\n";
}

}  // namespace kavenra
