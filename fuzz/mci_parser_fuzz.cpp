// Feeds arbitrary text to the media command parser, the file-URI decoder and the service's
// command path (with no device open, so no files are touched), and checks the parser's promises.
#include "FileUri.h"
#include "MciParser.h"
#include "MediaService.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const zr::media::MciParseResult r = zr::media::parseMciCommand(text);
    if (r.error == zr::media::kMciOk) {
        const zr::media::MciCommand& c = r.command;
        if (c.volume > zr::media::kMaxVolume)
            std::abort();
        if (c.verb == zr::media::MciVerb::Set && c.setItem == zr::media::SetItem::Speed &&
            (c.speed < zr::media::kMinSpeed || c.speed > zr::media::kMaxSpeed))
            std::abort();
        if (c.from && c.to && *c.to < *c.from)
            std::abort();
        if (c.device.empty() && !c.allDevices)
            std::abort();
        if (c.fileIsUri)
            (void)zr::media::pathFromFileUri(c.file);
    }
    (void)zr::media::percentDecode(text);

    static zr::media::MediaService service;
    if (r.error == zr::media::kMciOk && r.command.verb == zr::media::MciVerb::Open)
        return 0;
    const std::string command = text.substr(0, text.find('\0'));
    char reply[8];
    const unsigned length = size % 9;
    for (char& c : reply)
        c = 'x';
    (void)service.send(command.c_str(), reply, length);
    for (unsigned i = length; i < sizeof reply; ++i)
        if (reply[i] != 'x')
            std::abort(); // written past the length given
    return 0;
}
