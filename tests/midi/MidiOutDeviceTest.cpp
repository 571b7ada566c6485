#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/CueSound.h"
#include "midi/MidiOutDevice.h"
#include "tests/midi/FakePort.h"
#include "tests/midi/MidiTestSupport.h"
#include "tests/support/EnvOverride.h"

namespace {

using miditest::CFakePort;
using miditest::EventLog;
using miditest::FakePortSetup;
using Entries = std::vector<std::string>;

// A device over fake ports: every port it makes and everything its worker does goes into
// one log, in the order it happened.
class DeviceTest : public ::testing::Test {
 protected:
  std::unique_ptr<CMIDIOutDevice> MakeDevice() {
    midi::HeaderWorkerHooks hooks;
    hooks.onWake = [this](bool released) {
      log.Add(released ? "worker released" : "worker released nothing");
    };
    hooks.onExit = [this] { log.Add("worker exit"); };
    return std::make_unique<CMIDIOutDevice>(
        [this](int index) -> std::unique_ptr<midi::MidiPort> {
          requested.push_back(index);
          if (noSuchDevice) return nullptr;
          auto port = std::make_unique<CFakePort>(log, ++portsMade, setup);
          lastPort = port.get();
          return port;
        },
        hooks,
        [this]() -> std::unique_ptr<audio::DesktopCue> {
          if (!desktopSound) return nullptr;
          ++desktopOpens;
          return std::make_unique<miditest::CFakeDesktopCue>(log);
        });
  }

  std::unique_ptr<midi::PendingHeader> Header(int id) {
    auto record = std::make_unique<midi::PendingHeader>();
    record->handle = lastPort;
    record->header.bytes[0] = static_cast<unsigned char>(id);
    return record;
  }

  // Signals "done" from a thread of its own, as a port's system thread would.
  void NotifyFromPortThread(uint32_t message) {
    CFakePort* port = lastPort;
    std::thread([port, message] { port->Notify(message); }).join();
  }

  EventLog log;
  FakePortSetup setup;
  std::vector<int> requested;
  CFakePort* lastPort = nullptr;
  int portsMade = 0;
  bool noSuchDevice = false;
  bool desktopSound = true;  // whether the desktop's sound server answers
  int desktopOpens = 0;
  std::unique_ptr<CMIDIOutDevice> device = MakeDevice();
};

TEST_F(DeviceTest, OpenSetsFullVolumeAndOpensDeviceZero) {
  device->Open(0);
  EXPECT_TRUE(device->IsOpened());
  EXPECT_EQ(requested, std::vector<int>{0});
  EXPECT_EQ(log.Entries(), (Entries{"port1 open", "port1 volume 0000FFFF"}));
}

TEST_F(DeviceTest, OpenOnOpenDeviceClosesTheOldPortFirst) {
  device->Open(0);
  device->Open(0);
  EXPECT_TRUE(device->IsOpened());
  EXPECT_EQ(log.Entries(), (Entries{"port1 open", "port1 volume 0000FFFF", "worker exit",
                                    "port1 close", "port2 open", "port2 volume 0000FFFF"}));
  device->SendShortMessage(0x7F3C90);
  EXPECT_EQ(log.Entries().back(), "port2 send 7F3C90");
}

TEST_F(DeviceTest, CloseTwiceClosesOnce) {
  device->Open(0);
  device->Close();
  device->Close();
  EXPECT_FALSE(device->IsOpened());
  EXPECT_EQ(log.Entries(),
            (Entries{"port1 open", "port1 volume 0000FFFF", "worker exit", "port1 close"}));
  device.reset();  // destroying a closed device touches no port
  EXPECT_EQ(log.Entries().size(), 4u);
}

TEST_F(DeviceTest, DestructionClosesAnOpenDevice) {
  device->Open(0);
  device.reset();
  EXPECT_EQ(log.Entries(),
            (Entries{"port1 open", "port1 volume 0000FFFF", "worker exit", "port1 close"}));
}

TEST_F(DeviceTest, SendAndVolumeWhileClosedDoNothing) {
  const auto now = std::chrono::steady_clock::now();
  device->SendShortMessage(0x7F3C90);
  device->SendShortMessageAt(0x7F3C90, now);
  device->SetVolume(0xFFFF);
  device->StartCueSound("lumo.wav", now);
  device->StopCueSound();
  EXPECT_TRUE(requested.empty());

  device->Open(0);
  device->Close();
  device->SendShortMessage(0x7F3C90);
  device->SendShortMessageAt(0x7F3C90, now);
  device->SetVolume(0xFFFF);
  device->StartCueSound("lumo.wav", now);
  device->StopCueSound();
  EXPECT_EQ(log.Entries().back(), "port1 close");
}

TEST_F(DeviceTest, SendPassesTheWordUnchanged) {
  device->Open(0);
  device->SendShortMessage(0x7F4590);
  device->SetVolume(0x0000FFFF);
  const Entries entries = log.Entries();
  EXPECT_EQ(entries[2], "port1 send 7F4590");
  EXPECT_EQ(entries[3], "port1 volume 0000FFFF");
}

TEST_F(DeviceTest, FailedOpenLeavesClosedAndRaisesThePortsTextCut) {
  setup.openError = std::string(300, 'x');
  try {
    device->Open(0);
    FAIL() << "Open should have failed";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), std::string(127, 'x'));
  }
  EXPECT_FALSE(device->IsOpened());
  // No worker was started, and the port that failed is not closed again later.
  device->SendShortMessage(0x7F3C90);
  device->Close();
  device.reset();
  EXPECT_EQ(log.Entries(), Entries{"port1 open"});
}

TEST_F(DeviceTest, FailedReopenLeavesClosed) {
  device->Open(0);
  setup.openError = "The device is busy.";
  EXPECT_THROW(device->Open(0), midi::CMIDIOutException);
  EXPECT_FALSE(device->IsOpened());
  EXPECT_EQ(log.Entries(), (Entries{"port1 open", "port1 volume 0000FFFF", "worker exit",
                                    "port1 close", "port2 open"}));
}

TEST_F(DeviceTest, MissingDeviceRaisesAndStaysClosed) {
  noSuchDevice = true;
  EXPECT_THROW(device->Open(5), midi::CMIDIOutException);
  EXPECT_FALSE(device->IsOpened());
  EXPECT_EQ(requested, std::vector<int>{5});
}

TEST_F(DeviceTest, RefusedMessageRaisesAndStaysOpened) {
  setup.sendError = "The port refused the message.";
  device->Open(0);
  try {
    device->SendShortMessage(0x7F3C90);
    FAIL() << "SendShortMessage should have failed";
  } catch (const midi::CMIDIOutException& e) {
    EXPECT_STREQ(e.what(), "The port refused the message.");
  }
  EXPECT_TRUE(device->IsOpened());
}

TEST_F(DeviceTest, OpenWithoutNumberFollowsTunwickMidiDevice) {
  struct Case {
    std::optional<std::string> value;
    int expected;  // -1: refused
  };
  const Case cases[] = {{std::nullopt, 0}, {"", 0},    {"0", 0},  {"2", 2},
                        {"x", -1},         {"-1", -1}, {"3a", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.value_or("(unset)"));
    testsupport::EnvOverride env("TUNWICK_MIDI_DEVICE", c.value);
    requested.clear();
    if (c.expected < 0) {
      EXPECT_THROW(device->Open(), midi::CMIDIOutException);
      EXPECT_TRUE(requested.empty());
    } else {
      device->Open();
      EXPECT_EQ(requested, std::vector<int>{c.expected});
    }
  }
}

// The worker and the header queue.

TEST_F(DeviceTest, DoneWithEmptyQueueReleasesNothingAndWorkerWaitsAgain) {
  device->Open(0);
  NotifyFromPortThread(midi::kMomDone);
  ASSERT_TRUE(log.WaitFor("worker released nothing"));

  // The worker went back to waiting: the next "done" releases the header now pending.
  device->AdoptPendingHeader(Header(7));
  NotifyFromPortThread(midi::kMomDone);
  ASSERT_TRUE(log.WaitFor("worker released"));
  device->Close();
  EXPECT_EQ(log.Entries(),
            (Entries{"port1 open", "port1 volume 0000FFFF", "worker released nothing",
                     "port1 unprepare 7", "worker released", "worker exit", "port1 close"}));
}

TEST_F(DeviceTest, OneDoneReleasesOneHeaderOldestFirst) {
  device->Open(0);
  device->AdoptPendingHeader(Header(1));
  device->AdoptPendingHeader(Header(2));
  device->AdoptPendingHeader(Header(3));
  NotifyFromPortThread(midi::kMomDone);
  ASSERT_TRUE(log.WaitFor("worker released"));
  device->Close();
  EXPECT_EQ(log.Entries(),
            (Entries{"port1 open", "port1 volume 0000FFFF", "port1 unprepare 1", "worker released",
                     "worker exit", "port1 unprepare 2", "port1 unprepare 3", "port1 close"}));
}

TEST_F(DeviceTest, CloseEndsWorkerAndReleasesHeadersBeforeClosingPort) {
  device->Open(0);
  device->AdoptPendingHeader(Header(4));
  device->AdoptPendingHeader(Header(5));
  device->Close();
  EXPECT_EQ(log.Entries(), (Entries{"port1 open", "port1 volume 0000FFFF", "worker exit",
                                    "port1 unprepare 4", "port1 unprepare 5", "port1 close"}));
}

TEST_F(DeviceTest, NotificationsOtherThanDoneDoNotWakeTheWorker) {
  device->Open(0);
  device->AdoptPendingHeader(Header(9));
  NotifyFromPortThread(0x3C7);  // open notification
  NotifyFromPortThread(0x3C8);  // close notification
  device->Close();
  // Had either woken the worker, it would have released the header before Close.
  EXPECT_EQ(log.Entries(), (Entries{"port1 open", "port1 volume 0000FFFF", "worker exit",
                                    "port1 unprepare 9", "port1 close"}));
}

TEST_F(DeviceTest, ManyOpensAndClosesLeaveNoWorkerBehind) {
  for (int i = 0; i < 50; ++i) {
    device->Open(0);
    if (i % 2 == 0) NotifyFromPortThread(midi::kMomDone);
  }
  device->Close();
  const Entries entries = log.Entries();
  int exits = 0;
  int closes = 0;
  for (const std::string& e : entries) {
    exits += e == "worker exit";
    closes += e.size() > 6 && e.compare(e.size() - 6, 6, " close") == 0;
  }
  EXPECT_EQ(exits, 50);
  EXPECT_EQ(closes, 50);
}

// Timestamps and the cue. A MIDI port takes no timestamps: a message with a due time goes
// out at once, and the device adds no latency.

TEST_F(DeviceTest, APortWithoutTimestampsSendsAtOnceWithoutLatency) {
  device->Open(0);
  EXPECT_EQ(device->OutputLatencyMs(), 0);
  device->SendShortMessageAt(0x7F3C90, std::chrono::steady_clock::now() + std::chrono::hours(1));
  EXPECT_EQ(log.Entries().back(), "port1 send 7F3C90");
  device->Close();
  device->SendShortMessageAt(0x7F3C90, std::chrono::steady_clock::now());
  EXPECT_EQ(log.Entries().back(), "port1 close");
  EXPECT_EQ(device->OutputLatencyMs(), 0);
}

TEST_F(DeviceTest, ARefusedTimestampedMessageRaisesThePortsText) {
  setup.sendError = "The port refused the message.";
  device->Open(0);
  EXPECT_THROW(device->SendShortMessageAt(0x7F3C90, std::chrono::steady_clock::now()),
               midi::CMIDIOutException);
}

// The cue's length, rounded up to whole milliseconds, whatever plays it: the player holds
// itself for that long.
int32_t CueMs(size_t frames, int rate) {
  return static_cast<int32_t>((frames * 1000 + rate - 1) / rate);
}

TEST_F(DeviceTest, APortWithAudioStartsTheCueAtItsDueTime) {
  setup.audioSampleRate = 44100;
  device->Open(0);
  EXPECT_EQ(desktopOpens, 0);  // the port plays the cue itself
  const auto due = std::chrono::steady_clock::now() - std::chrono::milliseconds(7);
  EXPECT_EQ(device->StartCueSound(TUNWICK_TEST_LUMO, due), 600);  // 26460 frames at 44.1 kHz
  EXPECT_EQ(log.Entries().back(), "port1 start cue 26460");
  EXPECT_EQ(lastPort->lastCueDue, due);

  const size_t fallback = audio::DefaultCue(44100).size() / 2;
  EXPECT_EQ(device->StartCueSound("no-such-cue.wav", due), CueMs(fallback, 44100));
  EXPECT_EQ(log.Entries().back(), "port1 start cue " + std::to_string(fallback));
  device->StopCueSound();
  EXPECT_EQ(log.Entries().back(), "port1 stop cue");
}

TEST_F(DeviceTest, APortWithoutAudioHasTheCuePlayedByTheSoundServer) {
  device->Open(0);  // a port without audio output
  EXPECT_EQ(desktopOpens, 1);
  // Decoded at the sound server's rate: 0.6 s at 48 kHz.
  EXPECT_EQ(device->StartCueSound(TUNWICK_TEST_LUMO, std::chrono::steady_clock::now()), 600);
  EXPECT_EQ(log.Entries().back(), "desktop cue 28800");
  device->StopCueSound();
  EXPECT_EQ(log.Entries().back(), "desktop stop cue");
  device->Close();
  device->Open(0);
  EXPECT_EQ(desktopOpens, 2);
}

TEST_F(DeviceTest, TheCueTakesItsTimeEvenWhereNothingCanPlayIt) {
  desktopSound = false;
  const auto now = std::chrono::steady_clock::now();
  EXPECT_EQ(device->StartCueSound(TUNWICK_TEST_LUMO, now), 600);  // closed
  device->Open(0);
  EXPECT_EQ(device->StartCueSound(TUNWICK_TEST_LUMO, now), 600);  // no sound server
  EXPECT_EQ(device->StartCueSound(nullptr, now), CueMs(audio::DefaultCue(44100).size() / 2, 44100));
  device->StopCueSound();
  EXPECT_EQ(log.Entries(), (Entries{"port1 open", "port1 volume 0000FFFF", "port1 stop cue"}));
}

// The exceptions.

TEST(MidiOutExceptionTest, KeepsAtMost127CharactersOfTheText) {
  const size_t lengths[] = {0, 1, 126, 127, 128, 500};
  for (size_t length : lengths) {
    SCOPED_TRACE(length);
    const std::string text(length, 'e');
    const midi::CMIDIOutException e(text.c_str());
    EXPECT_EQ(std::string(e.what()), text.substr(0, 127));
  }
  EXPECT_STREQ(midi::CMIDIOutException(nullptr).what(), "");
}

TEST(MidiOutExceptionTest, DoesNotCutACharacterInHalf) {
  const std::string text = std::string(126, 'a') + "\xC3\xA9" + "tail";  // "é" at 126..127
  const midi::CMIDIOutException e(text.c_str());
  EXPECT_EQ(std::string(e.what()), std::string(126, 'a'));
}

TEST(MidiOutExceptionTest, CopiesCarryTheTextAndCatchAsStdException) {
  std::string source = "Failed to open the \"default\" audio device";
  midi::CMIDIOutException original(source.c_str());
  source.assign(source.size(), '?');  // the exception keeps its own copy
  try {
    throw midi::CMIDIOutException(original);
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Failed to open the \"default\" audio device");
  }
}

}  // namespace
