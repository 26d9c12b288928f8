#pragma once
// What the window tests reach in a MainWindow beyond its messages: set up a state that would take
// a real site or worker to reach, and read the model the window rendered.
#include "app/main_window_win.h"

namespace tw::app {

struct MainWindowProbe {
    static WindowModel& model(MainWindow& window) { return window.model_; }
    static SiteConnection& site(MainWindow& window) { return window.site_; }
    static RunningWork& work(MainWindow& window) { return window.work_; }
};

}  // namespace tw::app
