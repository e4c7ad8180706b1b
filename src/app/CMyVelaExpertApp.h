#pragma once

namespace orbisight {

class CloudStorageLibrary;

// The application object: start-up in its fixed order, the main window's run,
// and the saving of the settings at the end.
class CMyVelaExpertApp {
  public:
    // Runs the whole application; returns the exit code.
    int Run(int argc, char** argv);

    // The cloud-storage client loaded at start-up, for the record manager's
    // context; null outside Run and when the library or one of its
    // functions is missing (cloud storage is unavailable).
    static CloudStorageLibrary* CloudStorage();
};

}  // namespace orbisight
