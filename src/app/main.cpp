// orbisight: the desktop client for networked IP cameras.

#include "app/CMyVelaExpertApp.h"

int main(int argc, char** argv) {
    orbisight::CMyVelaExpertApp app;
    return app.Run(argc, argv);
}
