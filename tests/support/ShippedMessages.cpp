#include "support/ShippedMessages.h"

#include "store/CaptionKeys.h"
#include "support/DatabaseFixture.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
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
    {kMainWindowForm, "Texto_redimension3", MessageKind::Error},
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
            messages.append({names.value(language), use.form, QString::fromLatin1(use.key),
                             use.kind, texts[0]});
        }
        // A failed conversion's message: its text, then a line with the reason.
        const ShippedMessage failed =
            *std::find_if(messages.cbegin(), messages.cend(), [&](const ShippedMessage& message) {
                return message.language == names.value(language) &&
                       message.key == QLatin1String("Texto_redimension3");
            });
        for (const char* key : kFailureReasonKeys) {
            if (key == nullptr) continue;
            QStringList texts;
            const QString sql =
                QStringLiteral("SELECT caption FROM traduccion WHERE form='%1' AND object=%2")
                    .arg(kMainWindowForm)
                    .arg(SqlText(QString::fromLatin1(key)));
            if (!readColumn(database, sql, &texts, error)) return {};
            if (texts.size() != 1 || texts[0].isEmpty()) {
                if (error) *error = database + QStringLiteral(": no text for ") + key;
                return {};
            }
            messages.append({failed.language, failed.form,
                             failed.key + QLatin1Char('+') + QString::fromLatin1(key), failed.kind,
                             failed.text + QLatin1Char('\n') + texts[0]});
        }
    }
    if (messages.isEmpty() && error) *error = settings + QStringLiteral(": no languages");
    return messages;
}

}  // namespace kavenra::testing
