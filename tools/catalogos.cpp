// Placeholder until the catalogue generator lands.
int main() { return 0; }
