#include "support/ShippedMessages.h"

#include "store/CaptionKeys.h"
#include "support/DatabaseFixture.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

namespace kavenra::testing {

namespace {

struct MessageUse {
    int form;
    const char* key;
    MessageKind kind;
};

// The message texts and the kind each is shown as.
const MessageUse kMessageUses[] = {
    {kMainWindowForm, "Texto_caracter_no_valido", MessageKind::Error},
    {kMainWindowForm, "Texto_advertencia1", MessageKind::Error},
    {kMainWindowForm, "Texto_advertencia2", MessageKind::Error},
    {kMainWindowForm, "Texto_advertencia3", MessageKind::Error},
    {kMainWindowForm, "Texto_advertencia4", MessageKind::Error},
    {kMainWindowForm, "Texto_advertencia5", MessageKind::Question},
    {kMainWindowForm, "Texto_advertencia6", MessageKind::Error},
    {kMainWindowForm, "Texto_advertencia7", MessageKind::Error},
    {kMainWindowForm, "Texto_advertencia8", MessageKind::Error},
    {kMainWindowForm, "Texto_redimension2", MessageKind::Question},
    {kMainWindowForm, "Texto_redimension4", MessageKind::Information},
    {kMainWindowForm, "ActualizacionTexto", MessageKind::Question},
    {kFolderChooserForm, "MsgBox_Carpeta", MessageKind::Information},
    {kFolderChooserForm, "MsgBox_Error", MessageKind::Error},
    {kMainWindowForm, "Texto_abrir_carpeta", MessageKind::Error},
    {kLanguageDialogForm, "MsgBox_Idioma", MessageKind::Error},
    // Shown in the plain message display, which grows with its text; measured here all the same.
    {kMainWindowForm, "Texto_no_puedo", MessageKind::Information},
};

// sqlite3_open would create a missing file: look first.
bool readColumn(const QString& file, const QString& sql, QStringList* values, QString* error) {
    if (!QFileInfo(file).isFile()) {
        if (error) *error = file + QStringLiteral(": no such file");
        return false;
    }
    QString reason;
    if (QueryColumn(file, sql, values, &reason)) return true;
    if (error) *error = file + QStringLiteral(": ") + reason;
    return false;
}

}  // namespace

QList<ShippedMessage> ShippedMessages(QString* error) {
    const QDir folder(ShippedDataFolder());
    const QString settings = folder.filePath(QStringLiteral("KVConfig.db"));
    QStringList names;
    QStringList paths;
    if (!readColumn(settings, QStringLiteral("SELECT idioma FROM idiomas ORDER BY id"), &names,
                    error) ||
        !readColumn(settings, QStringLiteral("SELECT ruta FROM idiomas ORDER BY id"), &paths,
                    error)) {
        return {};
    }
    QList<ShippedMessage> messages;
    for (qsizetype language = 0; language < paths.size(); ++language) {
        const QString database = folder.filePath(paths[language]);
        for (const MessageUse& use : kMessageUses) {
            QStringList texts;
            const QString sql =
                QStringLiteral("SELECT caption FROM traduccion WHERE form='%1' AND object=%2")
                    .arg(use.form)
                    .arg(SqlText(QString::fromLatin1(use.key)));
            if (!readColumn(database, sql, &texts, error)) return {};
            if (texts.size() != 1 || texts[0].isEmpty()) {
                if (error) *error = database + QStringLiteral(": no text for ") + use.key;
                return {};
            }
            messages.append({names.value(language),
                             use.form,
                             QString::fromLatin1(use.key),
                             use.kind,
                             texts[0],
                             {},
                             {}});
        }
        // The texts the run's composed messages are made of: the parts, then each reason.
        QHash<QString, QString> parts;
        QStringList reasonKeys;
        for (const char* key : kFailureReasonKeys) {
            if (key) reasonKeys << QString::fromLatin1(key);
        }
        for (const QString& key :
             QStringList{"Texto_fallo1", "Texto_fallo2", "Texto_resumen1", "Texto_resumen2",
                         "Texto_resumen3", "Texto_resumen4", "Texto_resumen5", "Texto_resumen6",
                         "Texto_resumen7", "Texto_resumen8", "Texto_boton_seguir",
                         "Texto_boton_detener", "Texto_boton_cerrar", "Texto_cerrar_en_curso"} +
                 reasonKeys) {
            QStringList texts;
            const QString sql =
                QStringLiteral("SELECT caption FROM traduccion WHERE form='%1' AND object=%2")
                    .arg(kMainWindowForm)
                    .arg(SqlText(key));
            if (!readColumn(database, sql, &texts, error)) return {};
            if (texts.size() != 1 || texts[0].isEmpty()) {
                if (error) *error = database + QStringLiteral(": no text for ") + key;
                return {};
            }
            parts.insert(key, texts[0]);
        }
        const QString languageName = names.value(language);
        // A failed conversion's question: the file, a line with the reason, whether to go on.
        for (const QString& key : reasonKeys) {
            messages.append({languageName, kMainWindowForm, QStringLiteral("Texto_fallo1+") + key,
                             MessageKind::Question,
                             parts["Texto_fallo1"].arg(QStringLiteral("IMG_20150612_183045.JPG")) +
                                 QLatin1Char('\n') + parts[key] + QStringLiteral("\n\n") +
                                 parts["Texto_fallo2"],
                             parts["Texto_boton_seguir"], parts["Texto_boton_detener"]});
        }
        // Closing the window during a run.
        messages.append({languageName, kMainWindowForm, QStringLiteral("Texto_cerrar_en_curso"),
                         MessageKind::Question, parts["Texto_cerrar_en_curso"],
                         parts["Texto_boton_cerrar"], parts["Texto_boton_seguir"]});
        // The completion message of a run with every part it may have, each list at its longest.
        QString summary = parts["Texto_resumen1"].arg(994).arg(1000) + QStringLiteral("\n\n") +
                          parts["Texto_resumen2"].arg(6);
        // Each failed file with its reason, the longest reasons first.
        QStringList reasons;
        for (const QString& key : reasonKeys) reasons << parts[key];
        std::sort(reasons.begin(), reasons.end(),
                  [](const QString& a, const QString& b) { return a.size() > b.size(); });
        for (int i = 1; i <= 5; ++i) {
            summary += QStringLiteral("\nIMG_20150612_18304%1.JPG \u2014 ").arg(i) + reasons[i - 1];
        }
        summary += QLatin1Char('\n') + parts["Texto_resumen4"].arg(1) + QLatin1Char('\n') +
                   parts["Texto_resumen5"] + QStringLiteral("\n\n") +
                   parts["Texto_resumen3"].arg(6);
        for (int i = 1; i <= 5; ++i) {
            summary +=
                QStringLiteral("\nIMG_20150612_18304%1.JPG \u2192 IMG_20150612_18304%1 (2).JPG")
                    .arg(i);
        }
        summary += QLatin1Char('\n') + parts["Texto_resumen4"].arg(1) + QStringLiteral("\n\n") +
                   parts["Texto_resumen7"].arg(6);
        for (int i = 1; i <= 5; ++i) summary += QStringLiteral("\nIMG_20150612_18304%1.JPG").arg(i);
        summary += QLatin1Char('\n') + parts["Texto_resumen4"].arg(1) + QStringLiteral("\n\n") +
                   parts["Texto_resumen8"].arg(1000) + QStringLiteral("\n\n") +
                   parts["Texto_resumen6"];
        messages.append({languageName,
                         kMainWindowForm,
                         QStringLiteral("Texto_resumen1"),
                         MessageKind::Question,
                         summary,
                         {},
                         {}});
    }
    if (messages.isEmpty() && error) *error = settings + QStringLiteral(": no languages");
    return messages;
}

}  // namespace kavenra::testing
