#include "mFileList.h"

#include "Form.h"
#include "ListView.h"
#include "Runtime.h"
#include "TextHelpers.h"
#include "mWinAPI.h"

#include <QLocale>

namespace zr::ui::mFileList {
namespace {

constexpr ColorRef kMp3Row = Rgb(60, 60, 140);

} // namespace

QString FileSizeText(std::uint64_t bytes) {
    // The C locale omits group separators by default; the list always groups.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(static_cast<qulonglong>(bytes));
}

void subFillFileList(ListView& FileList, Form& window, const QString& folderPath) {
    const QByteArray pattern = zr::ToOsText(folderPath + QStringLiteral("*.mp3"));
    FileList.SetVisible(false);
    FileList.ListItems().Clear();

    mWinAPI::WIN32_FIND_DATA found;
    mWinAPI::ScopedFindHandle search(mWinAPI::FindFirstFileA(pattern.constData(), &found));
    window.SetMousePointer(vbHourglass);
    if (search.valid()) {
        do {
            if ((found.dwFileAttributes & mWinAPI::FILE_ATTRIBUTE_DIRECTORY) != 0) {
                continue;
            }
            const QString name = zr::TrimAtNull(found.cFileName, sizeof found.cFileName);
            if (name.isEmpty()) {
                continue;
            }
            ListItem row = FileList.ListItems().Add(name);
            row.SetSubItems(1, FileSizeText(found.FileSize()));
        } while (mWinAPI::FindNextFileA(search.get(), &found));
    }
    window.SetMousePointer(vbDefault);
    search.reset();

    const int count = FileList.ListItems().Count();
    for (int i = 1; i <= count; ++i) {
        ListItem row = FileList.ListItems().Item(i);
        if (row.Text().toLower().contains(QLatin1String(".mp3"))) {
            row.SetForeColor(kMp3Row);
        }
    }
    FileList.SetVisible(true);
}

} // namespace zr::ui::mFileList
