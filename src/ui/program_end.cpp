#include "ui/program_end.h"

#include <QCoreApplication>

namespace {
bool ending = false;
}

void end_program() {
    ending = true;
    QCoreApplication::exit(0);
}

bool program_ending() {
    return ending;
}
