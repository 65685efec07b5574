/* A program that does nothing; its version resource (or the lack of one) is what the tests read. */
int main(void) {
  return 0;
}
