#pragma once

// Every text the program shows in its message box, in every language it ships, read from the
// language databases the build made from the current sources (falling back to the installed
// ones), with the kind the program shows it as.
//
//   QString error;
//   const QList<ShippedMessage> messages = kavenra::testing::ShippedMessages(&error);
//   QVERIFY2(!messages.isEmpty(), qPrintable(error));

#include "ui/Form6_msgbox.h"

#include <QList>
#include <QString>

namespace kavenra::testing {

struct ShippedMessage {
    QString language;  // `idioma` of the language's row in the settings database
    int form;
    QString key;
    MessageKind kind;
    QString text;
    // A question whose buttons say what they do: their captions; empty for "Yes" and "No".
    QString affirmative;
    QString negative;
};

// Empty, with a reason in *error, when a database cannot be read or a text is missing.
QList<ShippedMessage> ShippedMessages(QString* error = nullptr);

}  // namespace kavenra::testing
