// Tests run the library against simulated sensors of an in-process lab; the
// port map the lab writes is the only source of ports (KORALINK_PORTMAP_ONLY).
#ifndef KORALINK_TESTS_LAB_FIXTURE_H
#define KORALINK_TESTS_LAB_FIXTURE_H

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "koralink.h"
#include "sim/lab.h"

inline std::unique_ptr<corvinsim::Lab> StartLab(const std::string &text) {
    std::string error;
    auto lab = corvinsim::Lab::Start(text, "", &error);
    EXPECT_TRUE(lab) << "lab did not start: " << error;
    if (lab) {
        lab->ApplyEnvironment();
        setenv("KORALINK_PORTMAP_ONLY", "1", 1);
    }
    return lab;
}

// A zeroed context that is closed again when the test ends.
struct Ctx {
    LinkContext c;
    Ctx() { std::memset(&c, 0, sizeof c); }
    ~Ctx() { KORALINK_close(&c); }
    LinkContext *operator&() { return &c; }
    std::string error() const { return c.lastError; }
};

#endif
