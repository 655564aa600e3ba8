#include "WidgetInput.h"

#include <QLineEdit>
#include <QTest>

void WidgetInput::retype(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    // A port field drops a lone leading "0" as it is typed: a person puts it in front last.
    if (text.size() > 1 && text.startsWith(QLatin1Char('0'))) {
        QTest::keyClicks(field, text.mid(1));
        QTest::keyClick(field, Qt::Key_Home);
        QTest::keyClicks(field, QStringLiteral("0"));
    } else {
        QTest::keyClicks(field, text);
    }
}
