// Checks registered signatures against the signature grammar, so that a mistyped
// registration is caught by a test rather than by the compiler of a program.
#pragma once
#include <string>

// Empty when the signature is well formed; otherwise what is wrong with it.
std::string signatureProblem(const char* signature);
