// The error that classes of the program raise: a number, a text and a source, as the
// windows show them ("Error 29671: ..." in the MP3 converter, 32000 in the effects, ...).
// The text is the one the program has always given for the number; a reason in French (what
// was found, in which file) may travel beside it, to be shown next to the text.
#pragma once

#include <QString>

#include <stdexcept>
#include <utility>

class AppError : public std::runtime_error {
public:
    AppError(int number, QString text, QString source, QString reason = {});

    int number() const { return m_number; }
    const QString &text() const { return m_text; }
    const QString &source() const { return m_source; }
    const QString &reason() const { return m_reason; }

    // The same error raised again by another operation.
    AppError withSource(QString source) const { return AppError(m_number, m_text, std::move(source), m_reason); }
    // "Erreur <number> : <text>", followed by " — <reason>" when there is one.
    QString message() const;

private:
    int m_number;
    QString m_text;
    QString m_source;
    QString m_reason;
};

// "<executable name>.<operation>", the source that the file classes give their errors.
QString errorSource(const QString &operation);
