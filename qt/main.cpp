#include "qt/taloran_app.h"

int main(int argc, char** argv) { return taloran::CTaloranApp().Run(argc, argv); }
