#include "ui/AccessKeys.h"

#include <QAction>
#include <QList>
#include <QMenu>
#include <QSet>

namespace kavenra {

QString WithoutAccessKey(const QString& text) {
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
        plain += text[i];
    }
    return plain;
}

namespace {

// The text with an access key mark before the character at `position` of the plain text; a
// literal "&" of the plain text is written "&&" again.
QString MarkedAt(const QString& plain, qsizetype position) {
    QString marked;
    for (qsizetype i = 0; i < plain.size(); ++i) {
        if (i == position) marked += QLatin1Char('&');
        if (plain[i] == QLatin1Char('&')) marked += QLatin1Char('&');
        marked += plain[i];
    }
    return marked;
}

bool StartsWord(const QString& text, qsizetype position) {
    return position == 0 || !text[position - 1].isLetterOrNumber();
}

// The position of the free letter the key goes to, -1 when every letter is taken. Word starts
// first, as a user looks for them; letters a keyboard types without a dead key before others.
qsizetype KeyPosition(const QString& plain, const QSet<QChar>& taken) {
    for (const bool wordStart : {true, false}) {
        for (const bool plainLatin : {true, false}) {
            for (qsizetype i = 0; i < plain.size(); ++i) {
                const QChar c = plain[i];
                if (!c.isLetter() || taken.contains(c.toLower())) continue;
                if (wordStart && !StartsWord(plain, i)) continue;
                if (plainLatin && c.unicode() > 0x7F) continue;
                return i;
            }
        }
    }
    return -1;
}

void AssignWithin(const QList<QAction*>& items) {
    QSet<QChar> taken;
    for (QAction* item : items) {
        if (item->isSeparator()) continue;
        const QString plain = WithoutAccessKey(item->text());
        const qsizetype position = KeyPosition(plain, taken);
        if (position >= 0) taken.insert(plain[position].toLower());
        item->setText(position >= 0 ? MarkedAt(plain, position) : MarkedAt(plain, -1));
        if (QMenu* submenu = item->menu()) AssignWithin(submenu->actions());
    }
}

}  // namespace

void AssignAccessKeys(QWidget* menuBarOrMenu) {
    if (menuBarOrMenu) AssignWithin(menuBarOrMenu->actions());
}

}  // namespace kavenra
