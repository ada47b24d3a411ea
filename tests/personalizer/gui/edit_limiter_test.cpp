#include "edit_limiter.h"

#include <gtest/gtest.h>

#include <QTest>

namespace tagwright {
namespace {

TEST(EditLimiter, OneLineFieldStopsAtTheLimit) {
    QLineEdit edit;
    auto* limiter = new EditLimiter(&edit);  // owned by the field
    limiter->setLimit(5);

    QTest::keyClicks(&edit, QStringLiteral("abcdefg"));

    EXPECT_EQ(limiter->text(), "abcde");
    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClicks(&edit, QStringLiteral("x"));
    EXPECT_EQ(limiter->text(), "abcde");
    EXPECT_EQ(edit.cursorPosition(), 0);
}

TEST(EditLimiter, LineBreakCountsAsTwo) {
    QPlainTextEdit edit;
    auto* limiter = new EditLimiter(&edit);
    limiter->setLimit(5);

    QTest::keyClicks(&edit, QStringLiteral("ab"));
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClicks(&edit, QStringLiteral("cd"));

    // "ab", carriage return, line feed and "c" fill five places.
    EXPECT_EQ(limiter->text(), "ab\nc");
    EXPECT_EQ(EditLimiter::windowsLength(limiter->text()), 5);
}

TEST(EditLimiter, LongerTextFromTheSettingsIsKeptAndMayOnlyShrink) {
    const struct {
        const char* name;
        bool multiLine;
    } cases[] = {{"one line", false}, {"several lines", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QLineEdit line;
        QPlainTextEdit plain;
        QWidget* edit = c.multiLine ? static_cast<QWidget*>(&plain) : &line;
        EditLimiter* limiter = c.multiLine ? new EditLimiter(&plain) : new EditLimiter(&line);
        limiter->setLimit(3);

        limiter->setText(QStringLiteral("abcdef"));
        EXPECT_EQ(limiter->text(), "abcdef");

        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(limiter->text(), "abcde");
        QTest::keyClicks(edit, QStringLiteral("z"));
        EXPECT_EQ(limiter->text(), "abcde");
    }
}

TEST(EditLimiter, NoRoomRefusesEveryCharacter) {
    QPlainTextEdit edit;
    auto* limiter = new EditLimiter(&edit);
    limiter->setLimit(0);

    QTest::keyClicks(&edit, QStringLiteral("text"));

    EXPECT_EQ(limiter->text(), "");
}

}  // namespace
}  // namespace tagwright
