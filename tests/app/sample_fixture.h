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

// The sample ROM made by `lettermoor-cli make-sample` in a private directory, with its copier
// header (sample.smc) and without (`make-sample --headerless`, sample.sfc), plus the codec over
// it for working out what the tool ought to print. Both layouts hold the same ROM, so what the
// tool prints is the same for both; CliLayouts runs a test on each.
class CliSample : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  // Runs the tool in the sample's directory.
  static CliRun Run(const std::vector<std::string>& arguments) { return RunCli(arguments, Dir()); }

  static const std::string& Dir();
  static std::vector<uint8_t> ReadBytes(const std::string& path);

  virtual bool Headerless() const { return false; }
  // The file name for `stem` in this test's layout: stem.smc or stem.sfc.
  std::string Name(const std::string& stem) const { return stem + (Headerless() ? ".sfc" : ".smc"); }
  std::string Sample() const { return Name("sample"); }
  std::string RomPath() const { return Dir() + "/" + Sample(); }  // pristine; tests that write use a copy
  // A fresh copy of this layout's sample in the sample's directory, named Name(stem); gives its path.
  std::string CopyOfSample(const std::string& stem) const;
  // The file's bytes as a headed file would hold them: a headerless file gets the sample's
  // (blank) copier header in front, so both layouts compare with the same expectations.
  std::vector<uint8_t> ReadRom(const std::string& path) const;

  // The table the editor builds for a listing, and the bracketed text and size of one entry.
  static TextEntryTable Table(ListingMode mode);
  static std::string Decoded(const TextEntry& entry, int32_t* size = nullptr);

 private:
  struct Shared;
  static Shared* shared_;
};

// A test run on both layouts of the sample: the parameter says headerless.
class CliLayouts : public CliSample, public ::testing::WithParamInterface<bool> {
 protected:
  bool Headerless() const override { return GetParam(); }
};

std::string LayoutName(const ::testing::TestParamInfo<bool>& info);

#define LETTERMOOR_ON_BOTH_LAYOUTS(suite) \
  INSTANTIATE_TEST_SUITE_P(Layouts, suite, ::testing::Bool(), ::lettermoor::test::LayoutName)

}  // namespace lettermoor::test
