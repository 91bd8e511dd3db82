#include <cstdio>

int main() {
  std::fputs("Mervane\n", stderr);
  return 0;
}
