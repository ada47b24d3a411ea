#include <QApplication>

#include "tagwright_program.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    return tagwright::runTagwright();
}
