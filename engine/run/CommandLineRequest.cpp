#include "engine/run/CommandLineRequest.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <functional>
#include <utility>
#include <vector>

#include "engine/base/OptionsFromCodes.h"

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

// A name among `names`, in any case, numbered from 1 as the options dialog stores its codes.
template <std::size_t N>
std::optional<int> CodeOfName(const QString& text, const std::array<const char*, N>& names) {
    for (std::size_t i = 0; i < N; ++i) {
        if (text.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i) + 1;
        }
    }
    return std::nullopt;
}

constexpr std::array<const char*, 6> kFilterNames = {"box",     "bilinear",    "bspline",
                                                     "bicubic", "catmull-rom", "lanczos"};
// In the order of the "Save as" codes 0 to 4.
constexpr std::array<const char*, 5> kFormatNames = {"same", "jpeg", "png", "webp", "tiff"};

// The other names people give the formats: their usual file extensions.
std::optional<OutputChoice> FormatChoice(const QString& text) {
    if (text.compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0) return OutputChoice::Jpeg;
    if (text.compare(QLatin1String("tif"), Qt::CaseInsensitive) == 0) return OutputChoice::Tiff;
    const std::optional<int> code = CodeOfName(text, kFormatNames);
    if (code) return OutputChoiceOfCode(*code - 1);
    return std::nullopt;
}

// Takes an option's value, as the system passed it; false when it is none the option reads.
using TakeValue = std::function<bool(CommandLineRequest&, const QByteArray&)>;

struct ValueOption {
    const char* name;
    const char* what;  // the values, as the usage error names them
    TakeValue take;
};

// Every value but a folder's name is words and numbers: read as text.
TakeValue Text(std::function<bool(CommandLineRequest&, const QString&)> take) {
    return [take = std::move(take)](CommandLineRequest& request, const QByteArray& value) {
        return take(request, QString::fromUtf8(value));
    };
}

TakeValue Code(std::optional<int> CommandLineRequest::*field, int lowest, int highest) {
    return Text([field, lowest, highest](CommandLineRequest& request, const QString& value) {
        request.*field = NumberIn(value, lowest, highest);
        return (request.*field).has_value();
    });
}

// A number from `lowest` to `highest` that stands for a choice of the options dialog, taken as
// what it stands for.
template <typename Value, typename Meaning>
TakeValue CodeFor(std::optional<Value> CommandLineRequest::*field, int lowest, int highest,
                  Meaning meaning) {
    return Text([=](CommandLineRequest& request, const QString& value) {
        const std::optional<int> code = NumberIn(value, lowest, highest);
        if (!code) return false;
        request.*field = meaning(*code);
        return true;
    });
}

const std::vector<ValueOption>& ValueOptions() {
    static const std::vector<ValueOption> options = {
        {"--size", "WIDTHxHEIGHT, each 1 or more",
         Text([](CommandLineRequest& request, const QString& value) {
             request.size = SizeOf(value);
             return request.size.has_value();
         })},
        {"--longest", "a number of pixels, 1 or more",
         Code(&CommandLineRequest::longest, 1, kLargestSide)},
        {"--output", "a folder",
         [](CommandLineRequest& request, const QByteArray& value) {
             request.output = value;
             return !value.isEmpty();
         }},
        {"--format", "same, jpeg (jpg), png, webp or tiff (tif)",
         Text([](CommandLineRequest& request, const QString& value) {
             request.saveAs = FormatChoice(value);
             return request.saveAs.has_value();
         })},
        {"--filter", "box, bilinear, bspline, bicubic, catmull-rom or lanczos",
         Text([](CommandLineRequest& request, const QString& value) {
             const std::optional<int> code = CodeOfName(value, kFilterNames);
             if (code) request.filter = FilterOfCode(*code);
             return code.has_value();
         })},
        // The options dialog's slider: its lowest quality at 1, its best at 5.
        {"--jpeg-quality", "1 to 5 (1 the smallest files, 5 the best quality)",
         CodeFor(&CommandLineRequest::jpegQuality, 1, 5, JpegQualityOfCode)},
        {"--png-compression", "1 to 4",
         CodeFor(&CommandLineRequest::pngLevel, 1, 4, PngLevelOfCode)},
        {"--bmp-compression", "1 or 2",
         CodeFor(&CommandLineRequest::bmpRunLength, 1, 2, RunLengthOfCode)},
        {"--tga-compression", "1 or 2",
         CodeFor(&CommandLineRequest::targaRunLength, 1, 2, RunLengthOfCode)},
        {"--tiff-compression", "1 to 4",
         CodeFor(&CommandLineRequest::tiffCompression, 1, 4, TiffCompressionOfCode)},
        {"--webp-quality", "1 to 100 (1 the smallest files, 100 the best quality)",
         Code(&CommandLineRequest::webpQuality, 1, 100)},
        {"--max-kb", "1 to 1000000",
         CodeFor(&CommandLineRequest::sizeBudgetBytes, 1, kLargestSizeBudgetKb, SizeBudgetOfKb)},
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

QString UnknownOption(const QString& name) {
    const QString meant = NearestOption(name, ResizeOptionNames());
    if (meant.isEmpty()) return QStringLiteral("unknown option %1").arg(name);
    return QStringLiteral("unknown option %1; did you mean %2?").arg(name, meant);
}

// Takes the option at `at` (and its value, moving `at` past it); a usage error when it is unknown
// or its value is missing or out of range.
std::optional<UsageError> TakeOption(const QByteArrayList& arguments, int& at,
                                     CommandLineRequest& request) {
    const QByteArray& argument = arguments[at];
    const int equals = argument.indexOf('=');
    const QString name = QString::fromUtf8(equals < 0 ? argument : argument.left(equals));
    for (const SwitchOption& option : kSwitches) {
        if (name != QLatin1String(option.name)) continue;
        if (equals >= 0) return Error(QStringLiteral("%1 takes no value").arg(name));
        request.*option.field = true;
        return std::nullopt;
    }
    for (const ValueOption& option : ValueOptions()) {
        if (name != QLatin1String(option.name)) continue;
        QByteArray value;
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
                             .arg(name, QString::fromUtf8(value), QLatin1String(option.what)));
        }
        return std::nullopt;
    }
    return Error(UnknownOption(name));
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

// The optimal string alignment distance: insertions, deletions, substitutions and swaps of two
// neighbours, the slips a hand makes on a keyboard.
int EditDistance(const QString& a, const QString& b) {
    const int n = int(a.size());
    const int m = int(b.size());
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1, 0));
    for (int i = 0; i <= n; ++i) d[i][0] = i;
    for (int j = 0; j <= m; ++j) d[0][j] = j;
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[n][m];
}

}  // namespace

std::variant<CommandLineRequest, UsageError> ReadCommandLineRequest(
    const QByteArrayList& arguments) {
    CommandLineRequest request;
    bool optionsEnded = false;
    for (int at = 0; at < arguments.size(); ++at) {
        const QByteArray& argument = arguments[at];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith('-') && argument.size() > 1) {
            if (std::optional<UsageError> error = TakeOption(arguments, at, request)) return *error;
        } else {
            request.inputs << argument;
        }
    }
    if (std::optional<UsageError> error = CheckWhole(request)) return *error;
    return request;
}

std::variant<CommandLineRequest, UsageError> ReadCommandLineText(const QStringList& arguments) {
    QByteArrayList bytes;
    for (const QString& argument : arguments) bytes << argument.toUtf8();
    return ReadCommandLineRequest(bytes);
}

QStringList ResizeOptionNames() {
    QStringList names;
    for (const ValueOption& option : ValueOptions()) names << QLatin1String(option.name);
    for (const SwitchOption& option : kSwitches) names << QLatin1String(option.name);
    return names;
}

QString NearestOption(const QString& typed, const QStringList& known) {
    // Dashes are not letters to count: "-longest" and "longest" meant "--longest" as surely.
    const QString bare = QString(typed).remove(QRegularExpression(QStringLiteral("^-+")));
    if (bare.isEmpty()) return {};
    QString nearest;
    int nearestDistance = bare.size() >= 5 ? 2 : 1;
    QStringList startingWith;
    for (const QString& option : known) {
        const QString name = QString(option).remove(QRegularExpression(QStringLiteral("^-+")));
        if (name.isEmpty()) continue;
        if (name.startsWith(bare)) startingWith << option;
        const int distance = EditDistance(bare, name);
        if (distance < nearestDistance || (distance == nearestDistance && nearest.isEmpty())) {
            nearest = option;
            nearestDistance = distance;
        }
    }
    if (!nearest.isEmpty()) return nearest;
    return startingWith.size() == 1 ? startingWith.first() : QString();
}

ConversionOptions WithRequestedOptions(const CommandLineRequest& request,
                                       ConversionOptions stored) {
    const auto put = [](auto& option, const auto& requested) {
        if (requested) option = *requested;
    };
    put(stored.saveAs, request.saveAs);
    put(stored.filter, request.filter);
    put(stored.jpegQuality, request.jpegQuality);
    put(stored.pngLevel, request.pngLevel);
    put(stored.bmpRunLength, request.bmpRunLength);
    put(stored.targaRunLength, request.targaRunLength);
    put(stored.tiffCompression, request.tiffCompression);
    put(stored.webpQuality, request.webpQuality);
    if (request.webpLossless) stored.webpLossless = true;
    if (request.fast) stored.fastDecoding = true;
    if (request.noEnlarge) stored.noEnlarge = true;
    if (request.fitWithin) stored.fitWithin = true;
    if (request.stripLocation) stored.removeLocation = true;
    if (request.sizeBudgetBytes) stored.sizeBudgetBytes = request.sizeBudgetBytes;
    stored.keepDimensions = request.keepRawSize;
    return stored;
}

RunChoices WithRequestedChoices(const CommandLineRequest& request, RunChoices stored) {
    stored.conversion = WithRequestedOptions(request, stored.conversion);
    if (request.keepDates) stored.keepDates = true;
    if (request.recursive) stored.includeSubfolders = true;
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
           "      --format F            same, jpeg (or jpg), png, webp or tiff (or tif)\n"
           "      --filter F            box, bilinear, bspline, bicubic, catmull-rom or lanczos\n"
           "      --jpeg-quality 1-5    1 the smallest files, 5 the best quality\n"
           "      --webp-quality 1-100  1 the smallest files, 100 the best quality\n"
           "      --png-compression 1-4 --tiff-compression 1-4 --bmp-compression 1-2\n"
           "      --tga-compression 1-2 numbered as the choices of the options dialog\n"
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
           "Options not given are the ones stored in the options dialog. Names of formats\n"
           "and filters are read in any case.\n"
           "Exit status: 0 every file written, 1 some failed or none could be, 2 a usage\n"
           "error, 130 interrupted (Ctrl+C), 143 ended (SIGTERM); nothing is left half\n"
           "written.\n";
}

}  // namespace kavenra
