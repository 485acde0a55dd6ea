#include "PlaylistEntry.h"

namespace zr {

PlaylistEntry ReadEntry(const ui::ListItem& row) {
    return {row.Text(), row.SubItems(kTrackNumberSubItem), row.SubItems(kFileNameSubItem),
            row.SubItems(kPlayMarkSubItem)};
}

QString TrackNumberText(std::int32_t n) {
    const QString digits = QString::number(n);
    return (10 > n ? QStringLiteral("0") + digits : digits) + QLatin1Char('.');
}

QString TrackTitle(QStringView trackNumber, QStringView fileName) {
    const qsizetype dot = trackNumber.indexOf(QLatin1Char('.'));
    const QStringView number = dot < 0 ? trackNumber : trackNumber.left(dot);
    return QLatin1Char('(') + number.toString() + QStringLiteral(") ") + fileName.toString();
}

std::int32_t PreviousRow(std::int32_t selected, std::int32_t rowCount) {
    return rowCount > 1 && selected > 1 && selected <= rowCount ? selected - 1 : 0;
}

std::int32_t NextRow(std::int32_t selected, std::int32_t rowCount) {
    return selected > 0 && selected < rowCount ? selected + 1 : 0;
}

std::int32_t SelectedRow(ui::ListView& list) {
    const auto item = list.SelectedItem();
    return item ? item->Index() : 0;
}

} // namespace zr
