// Program entry; completed once the main window builds.
int main() {
    return 0;
}
