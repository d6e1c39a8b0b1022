#pragma once

// Where this build put the programs that the tests run (written by tests/CMakeLists.txt).
namespace lettermoor::test {

extern const char kCliPath[];      // the built lettermoor-cli
extern const char kBpsToolPath[];  // the npm package bps's command-line tool

}  // namespace lettermoor::test
