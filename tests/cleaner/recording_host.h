// A main page stand-in for the cleaning run: answers the check boxes from its own ticks and
// writes down everything the run asks of it, in order.
#pragma once

#include "cleaner/cleaning_run.h"

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

class RecordingHost : public CleaningRunHost {
public:
    std::set<CleaningOption> ticked;
    std::vector<std::string> events;
    std::string notice;
    // Runs inside ProcessMessages, given how many times it was called before.
    std::function<void(int)> onProcessMessages;
    // Not in events: how often depends on how long the walks take.
    int keepAnsweringCalls = 0;
    std::function<void()> onKeepAnswering;

    static const char* Name(CleaningOption option) {
        switch (option) {
        case CleaningOption::Cookies:
            return "Cookies";
        case CleaningOption::Favorites:
            return "Favorites";
        case CleaningOption::History:
            return "History";
        case CleaningOption::Cache:
            return "Cache";
        case CleaningOption::UrlRegistry:
            return "UrlRegistry";
        }
        return "?";
    }

    void TickAll() {
        ticked = {CleaningOption::Cookies, CleaningOption::Favorites, CleaningOption::History,
                  CleaningOption::Cache, CleaningOption::UrlRegistry};
    }
    bool Saw(const std::string& event) const {
        return std::find(events.begin(), events.end(), event) != events.end();
    }

    bool IsTicked(CleaningOption option) override {
        events.push_back(std::string("ticked? ") + Name(option));
        return ticked.count(option) != 0;
    }
    void ShowNotice(const std::string& text) override {
        events.push_back("notice");
        notice = text;
    }
    void ShowSettingsDialog() override { events.push_back("settings dialog"); }
    void SetNextCursor(RunCursor cursor) override {
        events.push_back(cursor == RunCursor::HourGlass ? "hourglass" : "arrow");
    }
    void ShowProgress() override { events.push_back("show progress"); }
    void AdvanceProgress() override { events.push_back("advance"); }
    void ProcessMessages() override {
        events.push_back("process messages");
        if (onProcessMessages)
            onProcessMessages(m_processCalls++);
    }
    void KeepAnswering() override {
        ++keepAnsweringCalls;
        if (onKeepAnswering)
            onKeepAnswering();
    }
    void CloseProgress() override { events.push_back("close progress"); }
    void ShowFinishPage() override { events.push_back("finish page"); }

private:
    int m_processCalls = 0;
};
