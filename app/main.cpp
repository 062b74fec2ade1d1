#include "app/orvane_commentator.h"

int main(int argc, char** argv) {
  return RunCommentator(argc, argv);
}
