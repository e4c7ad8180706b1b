#pragma once

namespace orbisight {

// The application object: start-up in its fixed order, the main window's run,
// and the saving of the settings at the end.
class CMyVelaExpertApp {
  public:
    // Runs the whole application; returns the exit code.
    int Run(int argc, char** argv);
};

}  // namespace orbisight
