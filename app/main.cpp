// Tessivanev1.0: makes joke certificate cards. The program has one window;
// everything it does starts from there.
#include <QApplication>

#include "app/start.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    return app::start(application);
}
