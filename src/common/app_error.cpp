#include "common/app_error.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>

AppError::AppError(int number, QString text, QString source, QString reason)
    : std::runtime_error(text.toStdString()), m_number(number), m_text(std::move(text)),
      m_source(std::move(source)), m_reason(std::move(reason))
{
}

QString AppError::message() const
{
    QString line = QStringLiteral("Erreur %1 : %2").arg(m_number).arg(m_text);
    if (!m_reason.isEmpty())
        line += QStringLiteral(" — ") + m_reason;
    return line;
}

QString errorSource(const QString &operation)
{
    // Without a QCoreApplication the name comes from the C library's view of argv[0].
    QString executable = QCoreApplication::instance()
                             ? QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
                             : QString::fromLocal8Bit(program_invocation_short_name);
    return executable + QLatin1Char('.') + operation;
}
