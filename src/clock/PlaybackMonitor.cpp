#include "PlaybackMonitor.h"

#include "ClockRules.h"
#include "Playlist.h"
#include "PlaylistEntry.h"
#include "PlaylistRules.h"
#include "TextHelpers.h"
#include "Transport.h"
#include "mVariables.h"

namespace zr {
namespace {

constexpr ui::ColorRef kProgressColour = ui::Rgb(0, 0, 110);

std::int32_t CaptionNumber(const ui::Label& label) {
    return ToInt32(TextValue(label.Caption()));
}

void AdvanceElapsedTime(PlayerElements& e) {
    const ElapsedTime now{CaptionNumber(e.lblELTimeA), CaptionNumber(e.lblELTimeB),
                          CaptionNumber(e.lblELTimeC), CaptionNumber(e.lblELTimeD)};
    const ElapsedTime next = AdvanceElapsed(now);
    e.lblELTimeA.SetCaption(QString::number(next.a));
    e.lblELTimeB.SetCaption(QString::number(next.b));
    e.lblELTimeC.SetCaption(QString::number(next.c));
    e.lblELTimeD.SetCaption(QString::number(next.d));
}

void MoveTo(PlayerElements& e, std::int32_t row) {
    e.lstFiles.ListItems().Item(row).SetSelected(true);
    Stop(e);
    Play(e);
}

void EndOfTrack(PlayerElements& e) {
    mVariables::SetIsPlaying(mVariables::kFalse);
    e.lblPositionA.SetCaption(QStringLiteral("0"));
    e.lblLengthA.SetCaption(QStringLiteral("0"));
    const bool randomMode = mVariables::IsRandomMode() == mVariables::kTrue;
    const std::int32_t next =
        RowAfterTrackEnd(randomMode, SelectedRow(e.lstFiles), e.lstFiles.ListItems().Count());
    if (next != 0) {
        MoveTo(e, next);
    } else {
        Stop(e);
    }
    if (randomMode) {
        if (const std::int32_t row = mProcFunc::PickRandomTrack(e.lstFiles); row != 0) {
            MoveTo(e, row);
        }
    }
}

} // namespace

void DrawProgress(ui::DrawingSurface& ProgressBar, std::int32_t length, float position) {
    ProgressBar.Cls();
    ProgressBar.SetDrawMode(ui::DrawingSurface::vbNotXorPen);
    const auto right = ProgressRightEdge(static_cast<float>(ProgressBar.Width()), length, position);
    if (right) {
        ProgressBar.LineBF(-200, 0, *right, 30, kProgressColour);
    }
    ProgressBar.Refresh();
}

void Timer1Tick(PlayerElements& e) {
    SendStatusQuery(u"status mp3 position", e.statusReply);
    e.lblPositionA.SetCaption(e.statusReply.Caption());
    DrawProgress(e.ProgressBar, mVariables::TrackLength(),
                 static_cast<float>(e.statusReply.Value()));
    AdvanceElapsedTime(e);
    if (TrackHasEnded(TextValue(e.lblLengthA.Caption()), TextValue(e.lblPositionA.Caption()))) {
        EndOfTrack(e);
    }
}

} // namespace zr
