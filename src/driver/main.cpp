// GLYCOMB: determines the structure of regular polysaccharides from their 13C NMR spectrum.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "driver/program.hpp"

int main(int argc, char** argv) {
  try {
    glycomb::RunProgram(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const glycomb::EErrorStop& error) {
    // A fatal error that nothing caught: its lines are on the console already.
    std::cout.flush();
    std::cerr << "glycomb: unhandled exception EErrorStop: " << error.what() << '\n';
    return 1;
  } catch (const glycomb::ECheckFailed& error) {
    std::cout.flush();
    std::cerr << "glycomb: internal check failed: " << error.what() << '\n';
    return 2;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "glycomb: unexpected error: " << error.what() << '\n';
    return 2;
  }
}
