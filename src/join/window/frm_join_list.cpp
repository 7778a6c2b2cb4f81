// frmJoin's list maintenance: adding, deleting and moving files keeps lstFiles and the join
// engine's JoinFiles in step, line i describing record i.
#include "join/window/frm_join.h"

#include "join/join_engine.h"

#include "common/app_error.h"

#include <QListWidget>
#include <QSignalBlocker>

#include <limits>
#include <utility>

void frmJoin::AddJoinFile()
{
    const QString path = chooseWaveFile(false);
    if (path.isEmpty())
        return;
    // The header is read before the list grows, so that a file that cannot be read leaves the
    // list and its lines as they were; the log says why it was not added.
    JoinFileInfo record;
    record.fileName = path;
    try {
        ReadWaveHeader(record);
    } catch (const AppError &error) {
        logError(error.text());
        return;
    }
    if (JoinFileCount == std::numeric_limits<std::int16_t>::max()) {
        logError(QStringLiteral("La liste est pleine, %1 n'y a pas été ajouté").arg(path));
        return;
    }

    JoinFileCount += 1;
    GrowJoinFiles();
    JoinFiles[static_cast<std::size_t>(JoinFileCount - 1)] = record;
    JoinCurrentIndex = static_cast<std::int16_t>(JoinFileCount - 1);

    log(QStringLiteral("Fichier ajouté:"));
    log(QLatin1Char(' ') + path);
    lstFiles->addItem(DescribeJoinFile());
    selectFileLine(lstFiles->count() - 1);
    try {
        showGraphOf(record);
    } catch (const AppError &) {
        return; // the add's errors end it silently
    }
}

void frmJoin::GrowJoinFiles()
{
    // The single slot of an empty list is used as it is.
    if (JoinFileCount == 1 && !JoinFiles.empty())
        return;
    JoinFiles.resize(static_cast<std::size_t>(JoinFileCount));
    JoinFiles.back() = JoinFileInfo{};
}

void frmJoin::cmdDelFile_Click()
{
    if (lstFiles->count() == 0) {
        log(QStringLiteral("Message d'erreur:"));
        log(QStringLiteral("Pas de fichier à supprimer"));
        return;
    }
    if (!confirmDelete())
        return;
    if (JoinCurrentIndex < 0 || JoinCurrentIndex >= JoinFileCount)
        return;

    const QString removed = JoinFiles[static_cast<std::size_t>(JoinCurrentIndex)].fileName;
    std::vector<JoinFileInfo> kept;
    for (std::int16_t i = 0; i < JoinFileCount; ++i) {
        if (i != JoinCurrentIndex)
            kept.push_back(JoinFiles[static_cast<std::size_t>(i)]);
    }
    JoinFileCount -= 1;
    lstFiles->clear();
    JoinFiles = std::move(kept);
    if (JoinFiles.empty())
        JoinFiles.resize(1); // the slot the next add uses
    for (std::int16_t i = 0; i < JoinFileCount; ++i) {
        JoinCurrentIndex = i;
        lstFiles->addItem(DescribeJoinFile());
    }
    log(QStringLiteral("Fichier supprimé:"));
    log(QLatin1Char(' ') + removed);
    // The line the next delete would remove is the one shown selected.
    if (JoinFileCount > 0)
        selectFileLine(JoinCurrentIndex);
}

void frmJoin::moveSelectedFile(int step)
{
    const int k = lstFiles->currentRow();
    const int target = k + step;
    if (k < 0 || k >= lstFiles->count() || k >= JoinFileCount)
        return;
    if (target < 0 || target >= lstFiles->count())
        return;

    QListWidgetItem *line = lstFiles->takeItem(k);
    lstFiles->insertItem(target, line);
    std::swap(JoinFiles[static_cast<std::size_t>(k)], JoinFiles[static_cast<std::size_t>(target)]);

    log(step < 0 ? QStringLiteral("Fichier déplacé vers le haut:") : QStringLiteral("Fichier déplacé vers le bas:"));
    log(QLatin1Char(' ') + JoinFiles[static_cast<std::size_t>(target)].fileName);
    selectFileLine(target);
}

void frmJoin::selectFileLine(int row)
{
    {
        const QSignalBlocker quiet(lstFiles);
        lstFiles->setCurrentRow(row);
    }
    lstFiles_Click();
}

void frmJoin::lstFiles_Click()
{
    const int row = lstFiles->currentRow();
    if (row < 0 || !lstFiles->currentItem())
        return;
    JoinCurrentIndex = static_cast<std::int16_t>(row);
    lstFiles->setToolTip(lstFiles->currentItem()->text());
}

void frmJoin::lstNewFiles_Click()
{
    if (QListWidgetItem *line = lstNewFiles->currentItem())
        lstNewFiles->setToolTip(line->text());
}

void frmJoin::lstCommands_Click()
{
    if (QListWidgetItem *line = lstCommands->currentItem())
        lstCommands->setToolTip(line->text());
}
