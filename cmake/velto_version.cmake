# The project's version as one generated header, so every program's --version
# and the package agree: #include "velto/version.hpp", link velto::version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.hpp.in
               ${PROJECT_BINARY_DIR}/generated/velto/version.hpp @ONLY)
add_library(velto_version INTERFACE)
target_include_directories(velto_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
add_library(velto::version ALIAS velto_version)
