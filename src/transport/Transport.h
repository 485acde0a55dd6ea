#pragma once
// The transport commands behind the player's picture buttons: Play, Pause, Stop, Previous,
// Next, the three speeds, Mute, Random Select and Clear Playlist. Each runs to its end whatever
// the media service answers; nothing here reports a failure. User-interface thread only.
//
// Besides the shared player state, the module remembers which playlist row the media device
// has open (from Play until Stop), so Play can tell a resume from a switch to another row and
// a press on the seek bar can tell a paused track from none.

#include "PlayerElements.h"

namespace zr {

// Plays the selected row (row 1 when none is selected; nothing on an empty list). When the
// device holds another row, that one is stopped first; when it holds this row, it resumes.
// Sends open, time format, play, length query and volume, then the speed of lblPlayMode(1)
// unless normal, and the sound switch when muted; shows title and length, marks the row "P",
// sets IsPlaying and enables Timer1. The length shown is 0 when the open (other than the
// resume's) or the length query fails.
void Play(PlayerElements& e);

// "pause mp3", Timer1 off, IsPlaying false; nothing on an empty list unless a track is open.
void Pause(PlayerElements& e);

// Always: Timer1 off, "stop mp3", "close all", the display back to zeros and
// "No Track loaded.", the bar cleared, IsPlaying false, no row open.
void Stop(PlayerElements& e);

// Select the row above / below the selected one, then Stop and Play; nothing at the first /
// last row or without a selected row.
void Previous(PlayerElements& e);
void Next(PlayerElements& e);

// Speed 500, 1500 or 1000 thousandths, with the caption of lblPlayMode(1).
enum class Speed { Slow, Fast, Normal };
void SetSpeed(PlayerElements& e, Speed speed);

// Sound off and on while IsPlaying; off turns the Mute light red.
void ToggleMute(PlayerElements& e);

// Random mode on (light red) and off (light yellow).
void ToggleRandomMode(PlayerElements& e);

// Empties the playlist; playback and the display carry on.
void ClearPlaylist(PlayerElements& e);

// A row is open on the media device: Play has run since the last Stop.
[[nodiscard]] bool TrackIsOpen();

// The open row: its position when Play opened it (0 when none is open) and its file's full
// path. The row may since have left the list; the path stays that of the open file.
[[nodiscard]] std::int32_t OpenTrackRow();
[[nodiscard]] QString OpenTrackPath();
// The file's one-word address (a file:// URI) made when Play last started the open row; empty
// when the file could not be found then. Read from memory: the file system is not asked again.
[[nodiscard]] QString OpenTrackUrl();

// Texts shared with the other handlers.
inline constexpr QStringView kNoTrackLoaded = u"No Track loaded.";

} // namespace zr
