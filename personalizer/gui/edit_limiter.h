#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPlainTextEdit>
#include <QString>

namespace tagwright {

// Holds an edit field to a number of characters as the firmware counts them:
// a line break takes two, its carriage return and line feed. An edit that
// would grow the text past the limit is undone; a text set by the program may
// be longer (it came from the settings file) and can still be shortened.
class EditLimiter : public QObject {
    Q_OBJECT
  public:
    explicit EditLimiter(QLineEdit* edit);
    explicit EditLimiter(QPlainTextEdit* edit);

    void setLimit(int limit) { limit_ = limit; }
    int limit() const { return limit_; }

    // Shows text without applying the limit.
    void setText(const QString& text);
    // The field's text, each line break a '\n'.
    QString text() const;

    static int windowsLength(const QString& text);

  private:
    void onUserEdit();

    QLineEdit* line_ = nullptr;
    QPlainTextEdit* plain_ = nullptr;
    int limit_ = 0;
    QString accepted_;
    bool settingText_ = false;
};

}  // namespace tagwright
