// Links every object of quoravel_core without Qt Widgets (see src/CMakeLists.txt): the build
// fails here when a piece of core reaches for a window. Never run.
int main()
{
    return 0;
}
