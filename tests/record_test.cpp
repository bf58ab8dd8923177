// Recordings beyond what the golden games show: a recording written again as
// read; a failed write stops the recording and says so once (the command-line
// tests show that a recording never replaces a file); a headless replay counts
// its steps and names the first wrong frame.
#include "brelkor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "rock.h"
#include "seams.h"

namespace {

struct RecordTest : ::testing::Test {
    std::string path;
    Game game{};
    void SetUp() override {
        reset_seams();
        path = testing::TempDir() + "record_test_" + std::to_string(getpid()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name() + ".brec";
        std::remove(path.c_str());
    }
    void TearDown() override {
        release_game(&game);
        std::remove(path.c_str());
    }
};

} // namespace

// A recording read and written out again is the same text, byte for byte: the
// golden standard game's frames with keys, repeats, pauses and the pad.
TEST_F(RecordTest, ReadAndWrittenAgainIsTheSameText) {
    Recording recording;
    std::string error;
    const std::string golden = read_file(GOLDEN_DIR "/standard.brec");
    ASSERT_EQ(parse_recording(golden, "x", &recording, &error), 1) << error;
    EXPECT_EQ(recording_text(recording), golden);
}

TEST_F(RecordTest, RecordingStopsOnceAWriteFails) {
    const RecordingStart start{"0.1", 1, 0, 800, 600};
    Recorder recorder;
    // A disk that fills up during play: the stream is moved onto /dev/full.
    ASSERT_EQ(open_recording(&recorder, path.c_str(), start), 1);
    ASSERT_EQ(record_frame(&recorder, 0, 1), 1);
    ASSERT_NE(std::freopen("/dev/full", "w", recorder.file), nullptr);
    testing::internal::CaptureStderr();
    record_event(&recorder, key_event(SDL_KEYDOWN, SDLK_UP));
    EXPECT_EQ(record_frame(&recorder, 33, 2), 0);
    EXPECT_EQ(record_frame(&recorder, 33, 3), 0);
    EXPECT_EQ(close_recording(&recorder), 0);
    const std::string full = "brelkor: cannot go on recording to '" + path +
                             "': No space left on device; the game goes on unrecorded\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), full);
    EXPECT_EQ(recorder.frames, 1u);

    // The end line finding the disk full: the close says so, once; a recorder
    // closed whole closes again as whole.
    std::remove(path.c_str());
    ASSERT_EQ(open_recording(&recorder, path.c_str(), start), 1);
    ASSERT_EQ(record_frame(&recorder, 0, 1), 1);
    ASSERT_NE(std::freopen("/dev/full", "w", recorder.file), nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(std::tuple(close_recording(&recorder), close_recording(&recorder)), std::tuple(0, 0));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), full);
    std::remove(path.c_str());
    ASSERT_EQ(open_recording(&recorder, path.c_str(), start), 1);
    EXPECT_EQ(std::tuple(close_recording(&recorder), close_recording(&recorder)), std::tuple(1, 1));
}

// The standard golden game replayed without a window: every frame, the steps
// that ran and the end's hash; with two frames' hashes changed, the first of
// them is the one reported, once.
TEST_F(RecordTest, HeadlessReplayCountsStepsAndFindsTheFirstWrongFrame) {
    Recording recording;
    std::string error;
    ASSERT_EQ(read_recording(GOLDEN_DIR "/standard.brec", &recording, &error), 1) << error;
    ASSERT_EQ(start_replay(&game, recording), 1);
    ReplayOutcome outcome = replay_headless(&game, recording, nullptr);
    EXPECT_EQ(std::tuple(outcome.frames, outcome.steps, outcome.first_wrong, outcome.final_hash),
              std::tuple(3001u, uint64_t{5293}, 0u, recording.frames.back().hash));
    release_game(&game);
    game = Game{};
    const uint64_t third = recording.frames[2].hash;
    recording.frames[2].hash ^= 1;
    recording.frames[5].hash ^= 1;
    ASSERT_EQ(start_replay(&game, recording), 1);
    testing::internal::CaptureStderr();
    outcome = replay_headless(&game, recording, "x");
    char line[120];
    std::snprintf(line, sizeof line,
                  "brelkor: x: frame 3 went otherwise: recorded hash %016llx, replayed %016llx\n",
                  static_cast<unsigned long long>(third ^ 1),
                  static_cast<unsigned long long>(third));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), line);
    EXPECT_EQ(std::tuple(outcome.frames, outcome.first_wrong), std::tuple(3001u, 3u));
}
