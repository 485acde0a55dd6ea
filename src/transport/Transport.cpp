#include "Transport.h"

#include "HoverLights.h"
#include "PlaylistEntry.h"
#include "Runtime.h"
#include "TextHelpers.h"
#include "mVariables.h"

#include <optional>

namespace zr {
namespace {

// The row the media device holds under the alias "mp3". Rows are numbered afresh after the
// list is emptied, so the row is known by its position, number and file together.
struct OpenRow {
    std::int32_t position = 0;
    QString trackNumber;
    QString fullPath;
    QString url; // the short path Play opened it by; not part of the row's identity
    bool operator==(const OpenRow& other) const {
        return position == other.position && trackNumber == other.trackNumber &&
               fullPath == other.fullPath;
    }
};

std::optional<OpenRow>& OpenTrack() {
    static std::optional<OpenRow> open;
    return open;
}

bool IsTrue(std::int16_t flag) {
    return flag == mVariables::kTrue;
}

// Restores the default pointer however Play leaves.
class HourglassPointer {
public:
    explicit HourglassPointer(ui::Form& window) : window_(window) {
        window_.SetMousePointer(ui::vbHourglass);
    }
    HourglassPointer(const HourglassPointer&) = delete;
    HourglassPointer& operator=(const HourglassPointer&) = delete;
    ~HourglassPointer() { window_.SetMousePointer(ui::vbDefault); }

private:
    ui::Form& window_;
};

void SelectRow(ui::ListView& list, std::int32_t row) {
    list.ListItems().Item(row).SetSelected(true);
}

void SetLight(ui::ControlArray<ui::Shape>& lights, int index, std::uint32_t colour) {
    if (auto* light = lights.Find(static_cast<std::int16_t>(index))) {
        light->SetFillColor(colour);
    }
}

ui::Label* SpeedLabel(PlayerElements& e) {
    return e.lblPlayMode.Find(1);
}

} // namespace

bool TrackIsOpen() {
    return OpenTrack().has_value();
}

std::int32_t OpenTrackRow() {
    return OpenTrack() ? OpenTrack()->position : 0;
}

QString OpenTrackPath() {
    return OpenTrack() ? OpenTrack()->fullPath : QString();
}

QString OpenTrackUrl() {
    return OpenTrack() ? OpenTrack()->url : QString();
}

void Play(PlayerElements& e) {
    auto& items = e.lstFiles.ListItems();
    if (items.Count() == 0) {
        return;
    }
    std::int32_t position = SelectedRow(e.lstFiles);
    if (position == 0) {
        position = 1;
        SelectRow(e.lstFiles, position);
    }
    ui::ListItem row = items.Item(position);
    const PlaylistEntry entry = ReadEntry(row);
    OpenRow wanted{position, entry.TrackNumber, entry.FullPath(), {}};
    if (OpenTrack() && *OpenTrack() != wanted) {
        Stop(e); // another row is open: switch to the selected one instead of resuming
    }
    // Resuming, the open fails because the alias is taken, and that is how it should be.
    const bool resuming = OpenTrack().has_value();

    const HourglassPointer hourglass(e.window);
    e.ProgressBar.Cls();
    const QString shortPath = ShortPathOf(entry.OpenPath());
    wanted.url = shortPath;
    const int opened = SendCommand(QStringLiteral("open ") + shortPath +
                                   QStringLiteral(" type MPEGVideo alias mp3"));
    SendCommand(u"set mp3 time format tmsf");
    SendCommand(u"play mp3");
    const int measured = SendStatusQuery(u"status mp3 length", e.statusReply);
    SendCommand(QStringLiteral("setaudio mp3 volume to ") +
                QString::number(mVariables::VolumeLevel()));
    // A newly opened device starts loud at normal speed; give it what the window shows.
    if (const auto* speed = SpeedLabel(e)) {
        if (speed->Caption() == u"Slow play") {
            SendCommand(u"set mp3 speed 500");
        } else if (speed->Caption() == u"Fast play") {
            SendCommand(u"set mp3 speed 1500");
        }
    }
    if (IsTrue(mVariables::IsMuted())) {
        SendCommand(u"set mp3 audio all off");
    }
    // A failed query leaves the previous reply in the shared buffer: that is another track's
    // length, so a row that cannot be played shows 0 instead (and ends at the next tick).
    if ((opened != 0 && !resuming) || measured != 0) {
        e.lblLengthA.SetCaption(QStringLiteral("0"));
        mVariables::SetTrackLength(0);
    } else {
        e.lblLengthA.SetCaption(e.statusReply.Caption());
        mVariables::SetTrackLength(ToInt32(e.statusReply.Value()));
    }
    e.lblArtistA.SetCaption(TrackTitle(entry.TrackNumber, entry.FileName));
    row.SetSubItems(kPlayMarkSubItem, kPlayedMark.toString());
    mVariables::SetIsPlaying(mVariables::kTrue);
    e.Timer1.SetEnabled(true);
    OpenTrack() = wanted;
}

void Pause(PlayerElements& e) {
    // An open track can be paused even after the list was emptied under it.
    if (e.lstFiles.ListItems().Count() == 0 && !TrackIsOpen()) {
        return;
    }
    SendCommand(u"pause mp3");
    e.Timer1.SetEnabled(false);
    mVariables::SetIsPlaying(mVariables::kFalse);
}

void Stop(PlayerElements& e) {
    e.Timer1.SetEnabled(false);
    SendCommand(u"stop mp3");
    SendCommand(u"close all");
    for (ui::Label* label : {&e.lblLengthA, &e.lblPositionA, &e.lblELTimeA, &e.lblELTimeB,
                             &e.lblELTimeC, &e.lblELTimeD}) {
        label->SetCaption(QStringLiteral("0"));
    }
    e.lblArtistA.SetCaption(kNoTrackLoaded.toString());
    e.ProgressBar.Cls();
    mVariables::SetIsPlaying(mVariables::kFalse);
    OpenTrack().reset();
}

void Previous(PlayerElements& e) {
    const std::int32_t row = PreviousRow(SelectedRow(e.lstFiles), e.lstFiles.ListItems().Count());
    if (row != 0) {
        SelectRow(e.lstFiles, row);
        Stop(e);
        Play(e);
    }
}

void Next(PlayerElements& e) {
    const std::int32_t row = NextRow(SelectedRow(e.lstFiles), e.lstFiles.ListItems().Count());
    if (row != 0) {
        SelectRow(e.lstFiles, row);
        Stop(e);
        Play(e);
    }
}

void SetSpeed(PlayerElements& e, Speed speed) {
    struct Setting {
        QStringView command;
        QStringView caption;
    };
    const Setting setting = speed == Speed::Slow   ? Setting{u"set mp3 speed 500", u"Slow play"}
                            : speed == Speed::Fast ? Setting{u"set mp3 speed 1500", u"Fast play"}
                                                   : Setting{u"set mp3 speed 1000", u"Normal play"};
    SendCommand(setting.command);
    if (auto* label = SpeedLabel(e)) {
        label->SetCaption(setting.caption.toString());
    }
}

void ToggleMute(PlayerElements& e) {
    if (!IsTrue(mVariables::IsPlaying())) {
        return;
    }
    if (!IsTrue(mVariables::IsMuted())) {
        SendCommand(u"set mp3 audio all off");
        mVariables::SetIsMuted(mVariables::kTrue);
        SetLight(e.speCommandLight, 6, kLightToggleOn);
    } else {
        // The light keeps its colour until the pointer next passes over the button.
        SendCommand(u"set mp3 audio all on");
        mVariables::SetIsMuted(mVariables::kFalse);
    }
}

void ToggleRandomMode(PlayerElements& e) {
    if (IsTrue(mVariables::IsRandomMode())) {
        mVariables::SetIsRandomMode(mVariables::kFalse);
        SetLight(e.speCommandLight, 7, kLightCanAct);
    } else {
        mVariables::SetIsRandomMode(mVariables::kTrue);
        SetLight(e.speCommandLight, 7, kLightToggleOn);
    }
}

void ClearPlaylist(PlayerElements& e) {
    e.lstFiles.ListItems().Clear();
}

} // namespace zr
