#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cli_runner.h"
#include "codec/decoder_state.h"
#include "codec/text_decoder.h"
#include "codec/text_dictionary.h"
#include "entries/text_entry.h"
#include "rom/rom_file.h"
#include "support/synthetic_rom.h"

namespace lettermoor::test {

// A sample ROM made by `lettermoor-cli make-sample` in a private directory, plus the codec over
// it for working out what the tool ought to print.
class CliSample : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  // Runs the tool in the sample's directory.
  static CliRun Run(const std::vector<std::string>& arguments) { return RunCli(arguments, Dir()); }

  static const std::string& Dir();
  static const std::string& RomPath();  // the pristine sample; tests that write use a copy
  // A fresh copy of the sample in the sample's directory, named `name`.
  static std::string CopyOfSample(const std::string& name);
  static std::vector<uint8_t> ReadBytes(const std::string& path);

  // The table the editor builds for a listing, and the bracketed text and size of one entry.
  static TextEntryTable Table(ListingMode mode);
  static std::string Decoded(const TextEntry& entry, int32_t* size = nullptr);

 private:
  struct Shared;
  static Shared* shared_;
};

}  // namespace lettermoor::test
