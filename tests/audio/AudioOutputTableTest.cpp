// Trying the audio drivers in order: the first output that starts is kept and nothing after
// it is tried; when none starts, the most preferred driver's complaint is the one reported.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "audio/AudioOutput.h"

namespace {

class CStartedOutput : public audio::AudioOutput {
 public:
  int SampleRate() const override { return 44100; }
  double LeadSeconds() const override { return 0.0; }
};

TEST(AudioOutputTableTest, TheFirstDriverThatStartsIsUsed) {
  const struct {
    const char* name;
    std::vector<std::string> drivers;
    std::vector<std::string> starting;    // the drivers whose output starts
    std::vector<std::string> complaints;  // each failing driver's, in order tried
    std::vector<std::string> tried;
    std::string driver;  // "" when none starts
    std::string error;
  } cases[] = {
      {"the first starts: no other is tried", {"a", "b"}, {"a", "b"}, {}, {"a"}, "a", ""},
      {"a later one starts", {"a", "b", "c"}, {"c"}, {"no a", "no b"}, {"a", "b", "c"}, "c", ""},
      {"none starts: the first complaint",
       {"a", "b"},
       {},
       {"no a", "no b"},
       {"a", "b"},
       "",
       "no a"},
      {"a silent failure gives way to the next complaint",
       {"a", "b"},
       {},
       {"", "no b"},
       {"a", "b"},
       "",
       "no b"},
      {"no driver at all", {}, {}, {}, {}, "", "No audio driver to try."},
  };
  for (const auto& c : cases) {
    std::vector<std::string> tried;
    size_t failures = 0;
    auto attempt = [&](const std::string& driver,
                       std::string& error) -> std::unique_ptr<audio::AudioOutput> {
      tried.push_back(driver);
      for (const std::string& starts : c.starting)
        if (starts == driver) return std::make_unique<CStartedOutput>();
      error = c.complaints.at(failures++);
      return nullptr;
    };
    std::string driver;
    std::string error;
    const std::unique_ptr<audio::AudioOutput> output =
        audio::OpenFirstWorkingOutput(c.drivers, attempt, driver, error);
    EXPECT_EQ(output != nullptr, !c.driver.empty()) << c.name;
    EXPECT_EQ(driver, c.driver) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(tried, c.tried) << c.name;
  }
}

}  // namespace
