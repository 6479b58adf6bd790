// The main loop's rules, driven by a scripted clock and scripted events.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine.h"
#include "recording_device.h"

namespace {

std::vector<std::string> trace;

// Each pass reads the clock once for its step; the script says what each read returns.
class ScriptedSource : public LoopSource {
public:
    Uint32 now = 1000;
    std::deque<std::vector<SDL_Event>> batches;  // one batch of events per pass
    std::function<void(ScriptedSource&)> beforePass;
    int passes = 0;
    int maxPasses = 100;
    bool polling = false;

    Uint32 ticks() override { return now; }
    int pollEvent(SDL_Event* event) override {
        if (!polling) {
            polling = true;
            ++passes;
            if (beforePass)
                beforePass(*this);
            if (passes >= maxPasses)
                batches.push_front({quit()});
            current = batches.empty() ? std::vector<SDL_Event>() : batches.front();
            if (!batches.empty())
                batches.pop_front();
            position = 0;
        }
        if (position < current.size()) {
            *event = current[position++];
            return 1;
        }
        polling = false;
        return 0;
    }

    static SDL_Event quit() {
        SDL_Event e = {};
        e.type = SDL_QUIT;
        return e;
    }
    static SDL_Event active(int gain, int state) {
        SDL_Event e = {};
        e.type = SDL_ACTIVEEVENT;
        e.active.gain = gain;
        e.active.state = state;
        return e;
    }
    static SDL_Event key(Uint8 type) {
        SDL_Event e = {};
        e.type = type;
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        return e;
    }

private:
    std::vector<SDL_Event> current;
    size_t position = 0;
};

struct Sim : ISimulation {
    explicit Sim(std::string n) : name(std::move(n)) {}
    ~Sim() override { trace.push_back("delete " + name); }
    void setPrevious(ISimulation* p) override { previous = p; }
    void tick() override { trace.push_back("tick"); }
    std::string name;
    ISimulation* previous = nullptr;
};

struct Out : ID3DOutput {
    explicit Out(std::string n) : name(std::move(n)) {}
    ~Out() override { trace.push_back("delete " + name); }
    void setPrevious(ID3DOutput* p) override { previous = p; }
    void drawFrame(IDirect3DDevice9*) override { trace.push_back("draw " + name); }
    std::string name;
    ID3DOutput* previous = nullptr;
};

struct In : ISDLInput {
    explicit In(std::string n) : name(std::move(n)) {}
    ~In() override { trace.push_back("delete " + name); }
    void handleKey(SDL_Event*) override { trace.push_back("key"); }
    void handleMotion(SDL_Event*) override { trace.push_back("motion"); }
    void handleButton(SDL_Event*) override { trace.push_back("button"); }
    std::string name;
};

class MainLoop : public ::testing::Test {
protected:
    void SetUp() override { trace.clear(); }

    // Ticks and draws of each pass, e.g. "TD" for a pass with a step and a frame.
    std::vector<std::string> perPass(Engine& engine, ScriptedSource& source) {
        std::vector<std::string> passes;
        std::function<void(ScriptedSource&)> user = source.beforePass;
        size_t seen = 0;
        std::function<void()> collect = [&] {
            for (; seen < trace.size(); ++seen) {
                if (passes.empty())
                    continue;
                if (trace[seen] == "tick")
                    passes.back() += "T";
                else if (trace[seen].rfind("draw", 0) == 0)
                    passes.back() += "D";
            }
        };
        source.beforePass = [&, user](ScriptedSource& s) {
            collect();
            passes.push_back("");
            if (user)
                user(s);
        };
        engine.run(source);
        collect();
        return passes;
    }

    RecordingDevice device;
};

TEST_F(MainLoop, FirstTickComesBeforeFirstFrame) {
    Engine engine(&device);
    engine.attachSimulation(new Sim("s"));
    engine.attachOutput(new Out("o"));
    ScriptedSource source;
    source.maxPasses = 2;
    engine.run(source);
    ASSERT_GE(trace.size(), 2u);
    EXPECT_EQ(trace[0], "tick");
    EXPECT_EQ(trace[1], "draw o");
}

TEST_F(MainLoop, SlowPassIsMadeUpOneStepPerPass) {
    Engine engine(&device);
    engine.attachSimulation(new Sim("s"));
    engine.attachOutput(new Out("o"));
    ScriptedSource source;
    source.maxPasses = 7;
    // Pass 1 steps at once; pass 2 comes 130 ms later; the rest are instant.
    source.beforePass = [](ScriptedSource& s) {
        if (s.passes == 2)
            s.now += 130;
    };
    std::vector<std::string> passes = perPass(engine, source);
    std::vector<std::string> expected = {"TD", "TD", "TD", "TD", "D", "D", ""};
    EXPECT_EQ(passes, expected);
}

TEST_F(MainLoop, PausedRunsNoStepsOrFramesButDeliversInput) {
    Engine engine(&device);
    engine.attachSimulation(new Sim("s"));
    engine.attachOutput(new Out("o"));
    engine.attachInput(new In("i"));
    ScriptedSource source;
    source.batches = {{ScriptedSource::active(0, SDL_APPACTIVE), ScriptedSource::key(SDL_KEYDOWN)},
                      {ScriptedSource::key(SDL_KEYUP)},
                      {}};
    source.maxPasses = 4;
    source.beforePass = [](ScriptedSource& s) { s.now += 100; };
    engine.run(source);
    std::vector<std::string> expected = {"key", "key"};
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(device.count("Present"), 0);
}

TEST_F(MainLoop, ActivationGainReanchorsClockAndDropsBacklog) {
    Engine engine(&device);
    engine.attachSimulation(new Sim("s"));
    engine.attachOutput(new Out("o"));
    ScriptedSource source;
    source.batches = {{}, {ScriptedSource::active(0, SDL_APPACTIVE)}, {}, {ScriptedSource::active(1, SDL_APPACTIVE)}};
    source.maxPasses = 6;
    // Paused for 1 s between pass 2 and pass 4.
    source.beforePass = [](ScriptedSource& s) {
        if (s.passes == 4)
            s.now += 1000;
    };
    std::vector<std::string> passes = perPass(engine, source);
    std::vector<std::string> expected = {"TD", "", "", "TD", "D", ""};
    EXPECT_EQ(passes, expected);
}

TEST_F(MainLoop, ActivationWithCombinedStateChangesNothing) {
    Engine engine(&device);
    engine.attachSimulation(new Sim("s"));
    engine.attachOutput(new Out("o"));
    ScriptedSource source;
    source.batches = {{ScriptedSource::active(0, SDL_APPACTIVE | SDL_APPINPUTFOCUS)}, {}};
    source.maxPasses = 3;
    std::vector<std::string> passes = perPass(engine, source);
    std::vector<std::string> expected = {"TD", "D", ""};
    EXPECT_EQ(passes, expected);
}

TEST_F(MainLoop, QuitFinishesPassAndLaterEventsAreHandled) {
    Engine engine(&device);
    engine.attachSimulation(new Sim("s"));
    engine.attachOutput(new Out("o"));
    engine.attachInput(new In("i"));
    ScriptedSource source;
    source.batches = {{ScriptedSource::quit(), ScriptedSource::key(SDL_KEYDOWN),
                       ScriptedSource::active(1, SDL_APPACTIVE)}};
    engine.run(source);
    // A gain after the quit in the same batch lets the pass step and draw once more.
    std::vector<std::string> expected = {"key", "tick", "draw o"};
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(source.passes, 1);
}

TEST_F(MainLoop, ResetTicksDelaysNextStepByOneStep) {
    Engine engine(&device);
    engine.attachSimulation(new Sim("s"));
    ScriptedSource source;
    source.maxPasses = 5;
    // Each pass is 30 ms; pass 2 resets the clock, so the next step is due at pass 4 (+40 > +30).
    source.beforePass = [&](ScriptedSource& s) {
        s.now += 30;
        if (s.passes == 2)
            engine.resetTicks();
    };
    std::vector<std::string> passes = perPass(engine, source);
    std::vector<std::string> expected = {"T", "", "", "T", ""};
    EXPECT_EQ(passes, expected);
}

TEST_F(MainLoop, StepsSurviveTheTickCounterWrap) {
    Engine engine(&device);
    engine.attachSimulation(new Sim("s"));
    ScriptedSource source;
    source.now = 0xFFFFFFFFu - 50;
    source.maxPasses = 6;
    source.beforePass = [](ScriptedSource& s) {
        if (s.passes > 1)
            s.now += 20;
    };
    std::vector<std::string> passes = perPass(engine, source);
    // Steps every 40 ms across the wrap; never a burst.
    std::vector<std::string> expected = {"T", "", "T", "", "T", ""};
    EXPECT_EQ(passes, expected);
}

TEST_F(MainLoop, NoOutputHandlerMeansNoFramesButSteps) {
    Engine engine(&device);
    engine.attachSimulation(new Sim("s"));
    ScriptedSource source;
    source.maxPasses = 2;
    engine.run(source);
    EXPECT_EQ(device.count("Clear"), 0);
    EXPECT_EQ(device.count("Present"), 0);
    EXPECT_EQ(trace.front(), "tick");
}

TEST_F(MainLoop, LaterHandlerReplacesEarlierAndAllAreDeletedLastFirst) {
    Out* first = new Out("o1");
    Out* second = new Out("o2");
    Sim* sim1 = new Sim("s1");
    Sim* sim2 = new Sim("s2");
    {
        Engine engine(&device);
        engine.attachOutput(first);
        engine.attachOutput(second);
        engine.attachInput(new In("i1"));
        engine.attachInput(new In("i2"));
        engine.attachSimulation(sim1);
        engine.attachSimulation(sim2);
        EXPECT_EQ(first->previous, nullptr);
        EXPECT_EQ(second->previous, first);
        EXPECT_EQ(sim2->previous, sim1);
        ScriptedSource source;
        source.maxPasses = 1;
        engine.run(source);
        EXPECT_EQ(getEngine(), &engine);
        trace.clear();
    }
    std::vector<std::string> expected = {"delete o2", "delete o1", "delete i2",
                                         "delete i1", "delete s2", "delete s1"};
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(getEngine(), nullptr);
}

}  // namespace
