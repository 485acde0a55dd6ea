#pragma once
// The operating-system calls the player makes, with their usual roles and argument meanings,
// implemented for Linux. Text crosses this layer as UTF-8.

namespace mWinAPI {

// Sends one command of the media command language ("open ... alias mp3", "play mp3",
// "status mp3 position", ...). Writes a reply of at most returnLength bytes (NUL included) into
// returnString when the command has one. Returns 0 on success, a nonzero error code otherwise.
// hwndCallback is accepted for the usual signature and ignored. Thread-safe. Implemented by the
// media control service (platform/media).
int mciSendStringA(const char* command, char* returnString, unsigned returnLength,
                   void* hwndCallback);

} // namespace mWinAPI
