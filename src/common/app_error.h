// The error that classes of the program raise: a number, a text and a source, as the
// windows show them ("Error 29671: ..." in the MP3 converter, 32000 in the effects, ...).
#pragma once

#include <QString>

#include <stdexcept>

class AppError : public std::runtime_error {
public:
    AppError(int number, QString text, QString source);

    int number() const { return m_number; }
    const QString &text() const { return m_text; }
    const QString &source() const { return m_source; }

private:
    int m_number;
    QString m_text;
    QString m_source;
};

// "<executable name>.<operation>", the source that the file classes give their errors.
QString errorSource(const QString &operation);
