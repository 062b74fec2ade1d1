#include "app/commentator_app.h"

int main(int argc, char** argv) {
  return RunCommentator(argc, argv);
}
