# luabind 0.9.1 as a static library compiled against our patched Lua.
set(LUABIND_DIR "${GAMEHOST_THIRD_PARTY}/luabind")
if(NOT EXISTS "${LUABIND_DIR}/src/class.cpp")
  message(FATAL_ERROR "luabind sources not found in ${LUABIND_DIR}: run scripts/setup.sh first")
endif()

set(LUABIND_CONFIG_DIR "${CMAKE_BINARY_DIR}/luabind-config")
# All build options off: Lua is C, exceptions and error checking stay on.
configure_file("${LUABIND_DIR}/build_information.hpp.cmake_in"
               "${LUABIND_CONFIG_DIR}/luabind/build_information.hpp")

file(GLOB LUABIND_SOURCES CONFIGURE_DEPENDS "${LUABIND_DIR}/src/*.cpp")
add_library(luabind STATIC ${LUABIND_SOURCES})
target_include_directories(luabind SYSTEM PUBLIC "${LUABIND_DIR}" "${LUABIND_CONFIG_DIR}")
target_compile_definitions(luabind PUBLIC BOOST_BIND_GLOBAL_PLACEHOLDERS)
target_compile_options(luabind PRIVATE -w)
target_link_libraries(luabind PUBLIC lua)
