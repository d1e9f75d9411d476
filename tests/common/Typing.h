#pragma once
// Keys as a person presses them, sent to whatever has the focus.
#include <QApplication>
#include <QtTest>

namespace testing {

// Types text as a keyboard would, one character at a time, into the focused widget.
inline void typeText(const QString& text)
{
    for (int i = 0; i < text.size(); ++i) {
        QWidget* w = QApplication::focusWidget();
        QVERIFY(w);
        // A character outside the BMP is one key press of two UTF-16 units.
        const int n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (text.at(i) == '\n')
            QTest::keyClick(w, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, text.mid(i, n), Qt::NoModifier);
        i += n - 1;
    }
}

inline void pressKey(Qt::Key key)
{
    QWidget* w = QApplication::focusWidget();
    QVERIFY(w);
    QTest::keyClick(w, key);
}
} // namespace testing
