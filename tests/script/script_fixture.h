// Runs a game.lua through the real start-up code against a recording device, no window.
#ifndef TESTS_SCRIPT_FIXTURE_H
#define TESTS_SCRIPT_FIXTURE_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine.h"
#include "recording_device.h"
#include "script_host.h"
#include "setup_script.h"
#include "texture_cache.h"

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/gamehost-test-XXXXXX";
        dir = mkdtemp(pattern);
        previous = getcwd(nullptr, 0);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        engine = new Engine(&device);
    }

    void TearDown() override {
        if (hostState.script)
            lua_close(hostState.script);
        hostState.script = nullptr;
        delete engine;
        ASSERT_EQ(chdir(previous), 0);
        free(previous);
        std::system(("rm -rf " + dir).c_str());
    }

    // Puts a picture into the image cache under path, as if loaded from a file.
    void seedPicture(const char* path, int width, int height) {
        TextureCache::ensure();
        IDirect3DVertexBuffer9* quad = nullptr;
        device.CreateVertexBuffer(128, 0, 0x112, D3DPOOL_MANAGED, &quad, nullptr);
        TextureCache::addFront(new TextureEntry{0, nullptr, quad, path, width, height});
    }

    // Runs game.lua and returns what it printed, line by line.
    std::vector<std::string> run(const std::string& script) {
        std::ofstream(dir + "/game.lua") << script;
        testing::internal::CaptureStdout();
        setupScript();
        std::fflush(stdout);
        return lines(testing::internal::GetCapturedStdout());
    }

    // Calls a global function of the script and returns what it printed.
    std::vector<std::string> capture(void (*action)()) {
        testing::internal::CaptureStdout();
        action();
        std::fflush(stdout);
        return lines(testing::internal::GetCapturedStdout());
    }

    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            out.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return out;
    }

    RecordingDevice device;
    Engine* engine = nullptr;
    std::string dir;
    char* previous = nullptr;
};

#endif
