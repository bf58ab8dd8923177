// The recording reader on any text. It always ends with a verdict: refused,
// with one line naming the line and what was expected, or accepted, and then
// the text is exactly what the recorder writes for what was read, within the
// limits of a frame and a recording.
//
// Every line of a recording carries its CRC-32, which random text almost never
// has. So an input whose first byte is odd has the check appended here to each
// of its lines, and the reader's grammar beyond the check is explored too.
#include <zlib.h>

#include <string>

#include "brelkor.h"
#include "fuzz_common.h"

namespace {

std::string with_checks(std::string_view text) {
    std::string out;
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        char check[16];
        std::snprintf(
            check, sizeof check, " *%08lx",
            crc32(0, reinterpret_cast<const Bytef*>(line.data()), static_cast<uInt>(line.size())));
        out.append(line).append(check);
        if (newline == std::string_view::npos) {
            break; // the last line stays cut short
        }
        out += '\n';
        text.remove_prefix(newline + 1);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view raw(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string text = data[0] % 2 == 1 ? with_checks(raw) : std::string(raw);
    Recording recording;
    std::string error;
    if (!parse_recording(text, "fuzz", &recording, &error)) {
        REQUIRE(error.rfind("fuzz:", 0) == 0 && error.find('\n') == std::string::npos);
        REQUIRE(recording.frames.empty() && recording.events.empty());
        return 0;
    }
    REQUIRE(error.empty());
    REQUIRE(recording_text(recording) == text);
    REQUIRE(recording.frames.size() <= RECORDING_MOST_FRAMES);
    for (uint32_t i = 0; i < recording.frames.size(); ++i) {
        uint32_t begin = 0;
        uint32_t end = 0;
        frame_events(recording, i, &begin, &end);
        REQUIRE(begin <= end && end <= recording.events.size());
        REQUIRE(end - begin <= RECORDING_FRAME_EVENTS);
    }
    return 0;
}
