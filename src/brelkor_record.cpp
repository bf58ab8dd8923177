// Recordings: writing a game down line by line as it is played, and reading a
// recording back with every line checked.
//
// A recording is text, one record a line, each line ending in " *" and the
// CRC-32 (zlib's, 8 lowercase hex digits) of the bytes before it:
//   brelkor-recording 1          the format and its version
//   game 0.1                     the version of the game that recorded it
//   seed 20240607                the generator's seed
//   rocks 4                      rocks at the start
//   field 800 600                the field's width and height
//   frame 1 0 <hash> [events]    one line a frame, numbered from 1
//   end <frames> <hash>          once the game has ended
// A frame line holds the milliseconds handed to simulate_game, the state's
// hash after the frame (16 hex digits) and the events control_game handled
// before it, in order: down:KEY, repeat:KEY (a key-down repeated while held),
// up:KEY, quit (the window's close request). KEY is Up, Down, Left, Right,
// Space, P or Escape, or else the SDL key code in decimal.
#include "brelkor.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Longest line a frame can make: RECORDING_FRAME_EVENTS events of at most 18
// bytes ("repeat:2147483647 "), and the rest of the line.
constexpr size_t LONGEST_LINE = 2u << 20;

// Most characters of a file's text quoted in a message.
constexpr size_t QUOTED = 40;

struct KeyName {
    SDL_Keycode key;
    std::string_view name;
};

constexpr KeyName KEY_NAMES[] = {
    {SDLK_UP, "Up"},       {SDLK_DOWN, "Down"}, {SDLK_LEFT, "Left"},     {SDLK_RIGHT, "Right"},
    {SDLK_SPACE, "Space"}, {SDLK_p, "P"},       {SDLK_ESCAPE, "Escape"},
};

constexpr std::string_view EVENT_NAMES[] = {
    "down:",   "repeat:",  "up:",      "quit",       "pad-down:",
    "pad-up:", "stick-x:", "stick-y:", "pad-removed"};

struct ButtonName {
    uint8_t button;
    std::string_view name;
};

// The gamepad buttons the game acts on; the others are not recorded.
constexpr ButtonName BUTTON_NAMES[] = {
    {SDL_CONTROLLER_BUTTON_A, "A"},
    {SDL_CONTROLLER_BUTTON_START, "Start"},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, "DpadUp"},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, "DpadDown"},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, "DpadLeft"},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, "DpadRight"},
};

bool button_used(uint8_t button) {
    for (const ButtonName& named : BUTTON_NAMES) {
        if (named.button == button) {
            return true;
        }
    }
    return false;
}

// Text shown in a message: control characters as '?', so that the message stays
// one line; and of a file's text (quoted) at most QUOTED bytes, each beyond
// ASCII as '?' too.
std::string printable(std::string_view text, bool quoted = false) {
    std::string shown;
    for (const char c : quoted ? text.substr(0, QUOTED) : text) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte < 0x20 || byte == 0x7f || (quoted && byte > 0x7f) ? '?' : c;
    }
    if (quoted && text.size() > QUOTED) {
        shown += "...";
    }
    return shown;
}

uint32_t line_check(std::string_view text) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
}

void append_hex(std::string* out, uint64_t value, int digits) {
    static constexpr char HEX[] = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i) {
        *out += HEX[(value >> (4 * i)) & 15];
    }
}

// The line with its check and newline.
std::string checked(std::string text) {
    const uint32_t check = line_check(text);
    text += " *";
    append_hex(&text, check, 8);
    text += '\n';
    return text;
}

// A whole number in plain decimal, without leading zeros, of at most limit.
bool read_decimal(std::string_view text, uint64_t limit, uint64_t* value) {
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0')) {
        return false;
    }
    uint64_t number = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9') {
            return false;
        }
        // At most 20 digits of at most limit: each step is checked before it can wrap.
        if (number > (limit - static_cast<uint64_t>(digit - '0')) / 10) {
            return false;
        }
        number = number * 10 + static_cast<uint64_t>(digit - '0');
    }
    *value = number;
    return true;
}

bool read_hash(std::string_view text, uint64_t* value) {
    if (text.size() != 16) {
        return false;
    }
    uint64_t number = 0;
    for (const char digit : text) {
        const int nibble = digit >= '0' && digit <= '9'   ? digit - '0'
                           : digit >= 'a' && digit <= 'f' ? digit - 'a' + 10
                                                          : -1;
        if (nibble < 0) {
            return false;
        }
        number = number << 4 | static_cast<uint64_t>(nibble);
    }
    *value = number;
    return true;
}

// A stick's value: -32768 to 32767, a '-' before any but 0.
bool read_axis(std::string_view text, int32_t* value) {
    const bool negative = !text.empty() && text[0] == '-';
    uint64_t size = 0;
    if (!read_decimal(text.substr(negative ? 1 : 0), negative ? 32768 : 32767, &size) ||
        (negative && size == 0)) {
        return false;
    }
    *value = negative ? -static_cast<int32_t>(size) : static_cast<int32_t>(size);
    return true;
}

// The gamepad's events, from version 2.
bool read_pad_event(std::string_view text, RecordedEvent* event) {
    if (text == EVENT_NAMES[EVENT_PAD_REMOVED]) {
        *event = RecordedEvent{EVENT_PAD_REMOVED, 0};
        return true;
    }
    for (uint8_t kind = EVENT_PAD_DOWN; kind <= EVENT_STICK_Y; ++kind) {
        const std::string_view prefix = EVENT_NAMES[kind];
        if (text.substr(0, prefix.size()) != prefix) {
            continue;
        }
        const std::string_view rest = text.substr(prefix.size());
        if (kind >= EVENT_STICK_X) {
            *event = RecordedEvent{kind, 0};
            return read_axis(rest, &event->key);
        }
        for (const ButtonName& named : BUTTON_NAMES) {
            if (rest == named.name) {
                *event = RecordedEvent{kind, named.button};
                return true;
            }
        }
        return false;
    }
    return false;
}

bool read_event(std::string_view text, uint32_t version, RecordedEvent* event) {
    if (text == "quit") {
        *event = RecordedEvent{EVENT_QUIT, 0};
        return true;
    }
    if (version >= 2 && read_pad_event(text, event)) {
        return true;
    }
    for (uint8_t kind = EVENT_KEY_DOWN; kind <= EVENT_KEY_UP; ++kind) {
        const std::string_view prefix = EVENT_NAMES[kind];
        if (text.substr(0, prefix.size()) != prefix) {
            continue;
        }
        const std::string_view key = text.substr(prefix.size());
        for (const KeyName& named : KEY_NAMES) {
            if (key == named.name) {
                *event = RecordedEvent{kind, named.key};
                return true;
            }
        }
        // A named key is written by its name only, so each event has one spelling.
        uint64_t code = 0;
        if (!read_decimal(key, INT32_MAX, &code)) {
            return false;
        }
        for (const KeyName& named : KEY_NAMES) {
            if (code == static_cast<uint64_t>(named.key)) {
                return false;
            }
        }
        *event = RecordedEvent{kind, static_cast<int32_t>(code)};
        return true;
    }
    return false;
}

// Whether control_game sets quit on this event.
bool ends_game(RecordedEvent event) {
    return event.kind == EVENT_QUIT ||
           ((event.kind == EVENT_KEY_DOWN || event.kind == EVENT_KEY_REPEAT) &&
            event.key == SDLK_ESCAPE);
}

// The words of a line, split at each single space: a doubled or trailing
// space makes an empty word, which nothing takes.
struct Words {
    std::string_view rest;
    bool done = rest.empty();
    bool next(std::string_view* word) {
        if (done) {
            return false;
        }
        const size_t space = rest.find(' ');
        *word = rest.substr(0, space);
        done = space == std::string_view::npos;
        rest = done ? std::string_view{} : rest.substr(space + 1);
        return true;
    }
};

// Reads a recording line by line.
struct Reader {
    const char* name;
    Recording* recording;
    std::string* error;
    uint32_t line = 0;       // number of the line being read, from 1
    bool ended = false;      // the end line has been read
    uint32_t quit_frame = 0; // the frame in which the game quit; 0 before
    uint64_t last_hash = 0;

    bool fail(const std::string& what) {
        *error = printable(name);
        *error += ':' + std::to_string(line) + ": " + what;
        return false;
    }
    bool expected(const char* what, std::string_view seen) {
        return fail(std::string("expected ") + what + ", not '" + printable(seen, true) + "'");
    }

    // One whole line, without its newline.
    bool take(std::string_view text) {
        ++line;
        if (ended) {
            return expected("nothing after the end line", text);
        }
        if (text.size() < 10 || text.substr(text.size() - 10, 2) != " *") {
            return expected("a line ending in ' *' and its CRC-32 in 8 hex digits", text);
        }
        const std::string_view body = text.substr(0, text.size() - 10);
        std::string written(text.substr(text.size() - 8));
        std::string check;
        append_hex(&check, line_check(body), 8);
        if (written != check) {
            return fail("expected the line's CRC-32 " + check + ", not '" +
                        printable(written, true) + "': the line is damaged");
        }
        switch (line) {
        case 1:
            return format(body);
        case 2:
            return game(body);
        case 3:
            return number(body, "seed", UINT32_MAX,
                          "'seed' and a whole number from 0 to 4294967295");
        case 4:
            return number(body, "rocks", GAME_CAPACITY - 1,
                          "'rocks' and a whole number from 0 to 99");
        case 5:
            return field(body);
        default:
            return body.substr(0, 4) == "end " ? end(body) : frame(body);
        }
    }

    bool format(std::string_view body) {
        Words words{body};
        std::string_view word;
        uint64_t version = 0;
        if (!words.next(&word) || word != RECORDING_FORMAT) {
            return fail("not a Brelkor recording: expected 'brelkor-recording 2', not '" +
                        printable(body, true) + "'");
        }
        if (!words.next(&word) || !words.done || !read_decimal(word, UINT32_MAX, &version) ||
            version < 1 || version > RECORDING_VERSION) {
            return expected("format version 1 or 2",
                            body.substr(std::min(body.size(), RECORDING_FORMAT.size() + 1)));
        }
        recording->version = static_cast<uint32_t>(version);
        return true;
    }

    bool game(std::string_view body) {
        Words words{body};
        std::string_view word;
        std::string_view version;
        bool fine = words.next(&word) && word == "game" && words.next(&version) && words.done &&
                    !version.empty() && version.size() <= 32;
        for (const char c : version) {
            fine = fine && c > ' ' && c < 0x7f;
        }
        if (!fine) {
            return expected("'game' and the game's version (at most 32 visible characters)", body);
        }
        recording->start.game_version = std::string(version);
        return true;
    }

    bool number(std::string_view body, std::string_view key, uint64_t limit, const char* what) {
        Words words{body};
        std::string_view word;
        uint64_t value = 0;
        if (!words.next(&word) || word != key || !words.next(&word) || !words.done ||
            !read_decimal(word, limit, &value)) {
            return expected(what, body);
        }
        if (key == "seed") {
            recording->start.seed = static_cast<uint32_t>(value);
        } else {
            recording->start.rocks = static_cast<int32_t>(value);
        }
        return true;
    }

    // The game plays on an 800 by 600 field only.
    bool field(std::string_view body) {
        if (body != "field 800 600") {
            return expected("'field 800 600'", body);
        }
        recording->start.width = 800;
        recording->start.height = 600;
        return true;
    }

    bool frame(std::string_view body) {
        std::vector<RecordedFrame>& frames = recording->frames;
        const uint64_t number = frames.size() + 1;
        const std::string want = "frame " + std::to_string(number);
        Words words{body};
        std::string_view word;
        uint64_t value = 0;
        if (!words.next(&word) || word != "frame" || !words.next(&word) ||
            !read_decimal(word, UINT32_MAX, &value) || value != number) {
            return expected(("'" + want + "' or 'end'").c_str(), body);
        }
        if (quit_frame != 0) {
            return fail("expected no frame after frame " + std::to_string(quit_frame) +
                        ", in which the game quit");
        }
        if (frames.size() == RECORDING_MOST_FRAMES) {
            return fail("expected at most " + std::to_string(RECORDING_MOST_FRAMES) + " frames");
        }
        RecordedFrame frame{0, 0, static_cast<uint32_t>(recording->events.size())};
        if (!words.next(&word) || !read_decimal(word, UINT32_MAX, &value)) {
            return expected("the frame's milliseconds, a whole number from 0 to 4294967295", word);
        }
        frame.elapsed_ms = static_cast<uint32_t>(value);
        if (!words.next(&word) || !read_hash(word, &frame.hash)) {
            return expected("the state's hash in 16 lowercase hex digits", word);
        }
        uint32_t count = 0;
        while (words.next(&word)) {
            RecordedEvent event{};
            if (!read_event(word, recording->version, &event)) {
                return expected(recording->version >= 2
                                    ? "an event: down:KEY, repeat:KEY, up:KEY, quit, "
                                      "pad-down:BUTTON, pad-up:BUTTON, stick-x:N, stick-y:N or "
                                      "pad-removed"
                                    : "an event: down:KEY, repeat:KEY, up:KEY or quit",
                                word);
            }
            if (++count > RECORDING_FRAME_EVENTS) {
                return fail("expected at most " + std::to_string(RECORDING_FRAME_EVENTS) +
                            " events in a frame");
            }
            if (recording->events.size() == RECORDING_MOST_EVENTS) {
                return fail("expected at most " + std::to_string(RECORDING_MOST_EVENTS) +
                            " events in a recording");
            }
            if (ends_game(event)) {
                quit_frame = static_cast<uint32_t>(number);
            }
            recording->events.push_back(event);
        }
        frames.push_back(frame);
        last_hash = frame.hash;
        return true;
    }

    bool end(std::string_view body) {
        const std::string count = std::to_string(recording->frames.size());
        std::string hash;
        append_hex(&hash, last_hash, 16);
        const std::string want = "end " + count + " " + hash;
        if (body != want) {
            return expected(("'" + want + "': the frame count and the last frame's hash").c_str(),
                            body);
        }
        ended = true;
        recording->ended = true;
        return true;
    }

    // After the last line: the header must be whole.
    bool finish() {
        static const char* const HEADER[] = {"'brelkor-recording 2'",
                                             "'game' and the game's version", "'seed' and a number",
                                             "'rocks' and a number", "'field 800 600'"};
        if (line < 5) {
            ++line;
            return fail(std::string("expected ") + HEADER[line - 1] + ", not the end of the file");
        }
        return true;
    }
};

void clear(Recording* recording) { *recording = Recording{}; }

} // namespace

void frame_events(const Recording& recording, uint32_t i, uint32_t* begin, uint32_t* end) {
    *begin = recording.frames[i].first_event;
    *end = i + 1 < recording.frames.size() ? recording.frames[i + 1].first_event
                                           : static_cast<uint32_t>(recording.events.size());
}

SDL_Event recorded_to_sdl(RecordedEvent recorded) {
    SDL_Event event{};
    switch (recorded.kind) {
    case EVENT_QUIT:
        event.type = SDL_QUIT;
        return event;
    case EVENT_PAD_DOWN:
    case EVENT_PAD_UP:
        event.type =
            recorded.kind == EVENT_PAD_UP ? SDL_CONTROLLERBUTTONUP : SDL_CONTROLLERBUTTONDOWN;
        event.cbutton.button = static_cast<uint8_t>(recorded.key);
        event.cbutton.state = recorded.kind == EVENT_PAD_UP ? SDL_RELEASED : SDL_PRESSED;
        return event;
    case EVENT_STICK_X:
    case EVENT_STICK_Y:
        event.type = SDL_CONTROLLERAXISMOTION;
        event.caxis.axis =
            recorded.kind == EVENT_STICK_X ? SDL_CONTROLLER_AXIS_LEFTX : SDL_CONTROLLER_AXIS_LEFTY;
        event.caxis.value = static_cast<int16_t>(recorded.key);
        return event;
    case EVENT_PAD_REMOVED:
        event.type = SDL_CONTROLLERDEVICEREMOVED;
        return event;
    default:
        break;
    }
    event.type = recorded.kind == EVENT_KEY_UP ? SDL_KEYUP : SDL_KEYDOWN;
    event.key.state = recorded.kind == EVENT_KEY_UP ? SDL_RELEASED : SDL_PRESSED;
    event.key.repeat = recorded.kind == EVENT_KEY_REPEAT ? 1 : 0;
    event.key.keysym.sym = recorded.key;
    return event;
}

bool sdl_to_recorded(const SDL_Event& event, RecordedEvent* recorded) {
    switch (event.type) {
    case SDL_KEYDOWN:
        *recorded = RecordedEvent{event.key.repeat != 0 ? uint8_t{EVENT_KEY_REPEAT}
                                                        : uint8_t{EVENT_KEY_DOWN},
                                  event.key.keysym.sym};
        return true;
    case SDL_KEYUP:
        *recorded = RecordedEvent{EVENT_KEY_UP, event.key.keysym.sym};
        return true;
    case SDL_QUIT:
        *recorded = RecordedEvent{EVENT_QUIT, 0};
        return true;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
        *recorded = RecordedEvent{event.type == SDL_CONTROLLERBUTTONUP ? uint8_t{EVENT_PAD_UP}
                                                                       : uint8_t{EVENT_PAD_DOWN},
                                  event.cbutton.button};
        return button_used(event.cbutton.button);
    case SDL_CONTROLLERAXISMOTION:
        *recorded =
            RecordedEvent{event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX ? uint8_t{EVENT_STICK_X}
                                                                        : uint8_t{EVENT_STICK_Y},
                          event.caxis.value};
        return event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX ||
               event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY;
    case SDL_CONTROLLERDEVICEREMOVED:
        *recorded = RecordedEvent{EVENT_PAD_REMOVED, 0};
        return true;
    default:
        return false;
    }
}

int parse_recording(std::string_view text, const char* name, Recording* recording,
                    std::string* error) {
    clear(recording);
    Reader reader{name, recording, error};
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        if (newline == std::string_view::npos || newline > LONGEST_LINE) {
            ++reader.line;
            reader.fail(
                newline == std::string_view::npos
                    ? "expected a newline at the end of the line: the last line is cut short"
                    : "expected a line of at most " + std::to_string(LONGEST_LINE) + " bytes");
            clear(recording);
            return 0;
        }
        if (!reader.take(text.substr(0, newline))) {
            clear(recording);
            return 0;
        }
        text.remove_prefix(newline + 1);
    }
    if (!reader.finish()) {
        clear(recording);
        return 0;
    }
    return 1;
}

int read_recording(const char* path, Recording* recording, std::string* error) {
    clear(recording);
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        *error = "cannot read the recording '" + printable(path) + "': " + std::strerror(errno);
        return 0;
    }
    // Read whole first: nothing of the game starts before the file is known good.
    // The limits of a frame and a recording bound what is worth reading.
    constexpr size_t MOST_BYTES = size_t{1} << 30;
    std::string text;
    char buffer[1 << 16];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() <= MOST_BYTES) {
        text.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    const int saved = errno;
    std::fclose(file);
    if (failed) {
        *error = "cannot read the recording '" + printable(path) + "': " + std::strerror(saved);
        return 0;
    }
    if (text.size() > MOST_BYTES) {
        *error = printable(path) + ": expected a recording of at most 1 GiB";
        return 0;
    }
    return parse_recording(text, path, recording, error);
}

// Writing.

namespace {

std::string header_text(uint32_t version, const RecordingStart& start) {
    std::string text = checked(std::string(RECORDING_FORMAT) + " " + std::to_string(version));
    text += checked("game " + start.game_version);
    text += checked("seed " + std::to_string(start.seed));
    text += checked("rocks " + std::to_string(start.rocks));
    text += checked("field " + std::to_string(start.width) + " " + std::to_string(start.height));
    return text;
}

// " down:Up", " quit", " stick-x:-20000", ...: an event as it follows the
// frame's hash.
void append_event(std::string* text, RecordedEvent event) {
    *text += ' ';
    *text += EVENT_NAMES[event.kind];
    switch (event.kind) {
    case EVENT_QUIT:
    case EVENT_PAD_REMOVED:
        return;
    case EVENT_PAD_DOWN:
    case EVENT_PAD_UP:
        for (const ButtonName& named : BUTTON_NAMES) {
            if (named.button == event.key) {
                *text += named.name;
            }
        }
        return;
    case EVENT_STICK_X:
    case EVENT_STICK_Y:
        *text += std::to_string(event.key);
        return;
    default:
        break;
    }
    for (const KeyName& named : KEY_NAMES) {
        if (named.key == event.key) {
            *text += named.name;
            return;
        }
    }
    *text += std::to_string(event.key);
}

std::string frame_text(uint32_t number, uint32_t elapsed_ms, uint64_t hash,
                       std::string_view events) {
    std::string text = "frame " + std::to_string(number) + " " + std::to_string(elapsed_ms) + " ";
    append_hex(&text, hash, 16);
    text += events;
    return checked(std::move(text));
}

std::string end_text(uint32_t frames, uint64_t hash) {
    std::string text = "end " + std::to_string(frames) + " ";
    append_hex(&text, hash, 16);
    return checked(std::move(text));
}

void stop(Recorder* recorder, const std::string& why) {
    if (!recorder->failed) {
        recorder->failed = true;
        recorder->error = "cannot go on recording to '" + printable(recorder->path) + "': " + why +
                          "; the game goes on unrecorded";
        std::fprintf(stderr, "brelkor: %s\n", recorder->error.c_str());
    }
    if (recorder->file != nullptr) {
        std::fclose(recorder->file);
        recorder->file = nullptr;
    }
}

// Writes the text and flushes it: 1, or 0 with errno saying why.
int write_out(std::FILE* file, const std::string& text) {
    errno = 0;
    const size_t written = std::fwrite(text.data(), 1, text.size(), file);
    if (std::fflush(file) != 0 || written != text.size()) {
        if (errno == 0) {
            errno = EIO;
        }
        return 0;
    }
    return 1;
}

} // namespace

int open_recording(Recorder* recorder, const char* path, const RecordingStart& start) {
    *recorder = Recorder{};
    recorder->path = path;
    // "x": created here or not at all, so an existing file is never replaced.
    recorder->file = std::fopen(path, "wx");
    if (recorder->file == nullptr) {
        recorder->error = "cannot record to '" + printable(path) + "': " +
                          (errno == EEXIST ? "the file exists, and a recording never replaces one"
                                           : std::strerror(errno));
        recorder->failed = true;
        return 0;
    }
    if (!write_out(recorder->file, header_text(RECORDING_VERSION, start))) {
        recorder->error = "cannot record to '" + printable(path) + "': " + std::strerror(errno);
        recorder->failed = true;
        std::fclose(recorder->file);
        recorder->file = nullptr;
        std::remove(path);
        return 0;
    }
    return 1;
}

void record_event(Recorder* recorder, const SDL_Event& event) {
    RecordedEvent recorded{};
    if (recorder->file == nullptr || !sdl_to_recorded(event, &recorded)) {
        return;
    }
    if (recorder->frame_events == RECORDING_FRAME_EVENTS ||
        recorder->events == RECORDING_MOST_EVENTS) {
        stop(recorder, "more events than a recording holds");
        return;
    }
    ++recorder->frame_events;
    ++recorder->events;
    append_event(&recorder->line, recorded);
}

int record_frame(Recorder* recorder, uint32_t elapsed_ms, uint64_t hash) {
    if (recorder->file == nullptr) {
        return 0;
    }
    if (recorder->frames == RECORDING_MOST_FRAMES) {
        stop(recorder, "more frames than a recording holds");
        return 0;
    }
    const std::string text = frame_text(recorder->frames + 1, elapsed_ms, hash, recorder->line);
    recorder->line.clear();
    recorder->frame_events = 0;
    if (!write_out(recorder->file, text)) {
        stop(recorder, std::strerror(errno));
        return 0;
    }
    ++recorder->frames;
    recorder->last_hash = hash;
    return 1;
}

int close_recording(Recorder* recorder) {
    if (recorder->file == nullptr) {
        return recorder->failed ? 0 : 1;
    }
    if (!write_out(recorder->file, end_text(recorder->frames, recorder->last_hash))) {
        stop(recorder, std::strerror(errno));
        return 0;
    }
    // A close that fails has lost what the last flush left with the system.
    if (std::fclose(recorder->file) != 0) {
        recorder->file = nullptr;
        stop(recorder, std::strerror(errno));
        return 0;
    }
    recorder->file = nullptr;
    return 1;
}

void abandon_recording(Recorder* recorder) {
    if (recorder->file != nullptr) {
        std::fclose(recorder->file);
        recorder->file = nullptr;
    }
}

std::string recording_text(const Recording& recording) {
    std::string text = header_text(recording.version, recording.start);
    std::string events;
    for (uint32_t i = 0; i < recording.frames.size(); ++i) {
        uint32_t begin = 0;
        uint32_t end = 0;
        frame_events(recording, i, &begin, &end);
        events.clear();
        for (uint32_t e = begin; e < end; ++e) {
            append_event(&events, recording.events[e]);
        }
        const RecordedFrame& frame = recording.frames[i];
        text += frame_text(i + 1, frame.elapsed_ms, frame.hash, events);
    }
    if (recording.ended) {
        text += end_text(static_cast<uint32_t>(recording.frames.size()),
                         recording.frames.empty() ? 0 : recording.frames.back().hash);
    }
    return text;
}
