#include "ui/LeftOutItems.h"

#include <QStringList>

#include <array>

#include "engine/run/BatchRun.h"
#include "store/CaptionKeys.h"
#include "store/TranslationLookup.h"
#include "ui/ListEntries.h"

namespace kavenra {
namespace {

constexpr int kNamesPerReason = 3;
constexpr int kDetailLines = 30;

struct ReasonTexts {
    LeftOutItems::Why why;
    const char* label;   // "not found: %1", the names in place of %1
    const char* reason;  // the sentence a failure of a run gives
};

constexpr std::array<ReasonTexts, 4> kReasons = {{
    {LeftOutItems::Why::NotFound, "Texto_fuera_no_existe", "Texto_motivo_no_existe"},
    {LeftOutItems::Why::NotAnImage, "Texto_fuera_no_imagen", "Texto_motivo1"},
    {LeftOutItems::Why::Unreadable, "Texto_fuera_no_legible", "Texto_motivo8"},
    {LeftOutItems::Why::NoImageInFolder, "Texto_fuera_carpeta", "Texto_motivo_carpeta_vacia"},
}};

QString Caption(const char* key) {
    return LookupCaption(kMainWindowForm, key);
}

// An empty name is shown in quotes, so that it is seen at all.
QString ShownName(const QByteArray& path) {
    if (path.isEmpty()) return QStringLiteral("\"\"");
    const QString shown = ShownPath(path.endsWith('/') ? path.chopped(1) : path);
    const QString name = FileNamePart(shown);
    return name.isEmpty() ? shown : name;
}

QString MoreText(qsizetype more) {
    return Caption("Texto_resumen4").arg(more);
}

}  // namespace

void LeftOutItems::add(const QByteArray& path, Why why) {
    items_.push_back({path, why});
}

QString LeftOutItems::statusText(int entries) const {
    QStringList groups;
    for (const ReasonTexts& reason : kReasons) {
        QStringList names;
        qsizetype more = 0;
        for (const Item& item : items_) {
            if (item.why != reason.why) continue;
            if (names.size() < kNamesPerReason) {
                names << ShownName(item.path);
            } else {
                ++more;
            }
        }
        if (names.isEmpty()) continue;
        QString shown = names.join(QStringLiteral(", "));
        if (more > 0) shown += QLatin1Char(' ') + MoreText(more);
        groups << Caption(reason.label).arg(shown);
    }
    return Caption("ImagenMsg5").arg(entries).arg(groups.join(QStringLiteral("; ")));
}

QString LeftOutItems::details() const {
    QStringList lines;
    for (const Item& item : items_) {
        if (lines.size() == kDetailLines) {
            lines << MoreText(qsizetype(items_.size()) - kDetailLines);
            break;
        }
        for (const ReasonTexts& reason : kReasons) {
            if (item.why != reason.why) continue;
            const QString path =
                item.path.isEmpty() ? QStringLiteral("\"\"") : ShownPath(item.path);
            lines << path + QStringLiteral(": ") + Caption(reason.reason);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace kavenra
