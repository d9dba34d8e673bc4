// The program's name, version and build date.
#ifndef CORVIN_VERSION_H
#define CORVIN_VERSION_H

#include <cstdint>

struct ProgramVersionRec {
    int32_t major, minor, build, revision;
};
extern ProgramVersionRec ProgramVersion;

constexpr const char *kProgramName = "Corvintracer";
constexpr const char *kProgramVersionText = "1.0.3.0";
constexpr const char *kBuildDate = "Apr 22 2015";

// Splits text at "." and stores up to four integers (major, minor, build,
// revision); stops at the first token that is not an integer. Fields not
// reached stay 0.
void ParseVersion(const char *text, ProgramVersionRec *version);

#endif
