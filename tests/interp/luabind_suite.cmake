# luabind's own test suite, built against our patched lua/luabind targets: the
# bindings rely on metatables, so they are the widest check that the interpreter
# change leaves everything else alone. Each test defines its own test_main(),
# so every test is its own executable, as upstream builds them.
set(LUABIND_TEST_DIR "${LUABIND_DIR}/test")
# Upstream's list, in upstream's order. Left out as upstream does: out_value
# (does not compile) and has_get_pointer (compile-time checks only, built into
# the shared main library below).
set(LUABIND_TESTS
    abstract_base adopt adopt_wrapper attributes automatic_smart_ptr
    back_reference builtin_converters class_info collapse_converter const
    construction create_in_thread def_from_base destruction dynamic_type
    exception_handlers exceptions extend_class_in_lua free_functions
    function_converter function_introspection function_object
    function_overload_overflow held_type implicit_cast implicit_raw
    intrusive_ptr iterator lua_classes null_pointer object operators
    package_preload policies private_destructors properties scope separation
    set_instance_value shadow shared_ptr simple_class smart_ptr_attributes
    super_leak table tag_function typetraits unchecked unsigned_int
    user_defined_converter value_wrapper vector_of_object vector_of_number
    virtual_inheritance yield)

add_library(luabind_test_main STATIC
            "${LUABIND_TEST_DIR}/main.cpp" "${LUABIND_TEST_DIR}/test_has_get_pointer.cpp")
target_link_libraries(luabind_test_main PUBLIC luabind)
target_compile_options(luabind_test_main PRIVATE -w)
# The tests are mostly template instantiations over the same headers; parsing
# those once instead of 55 times roughly halves the suite's build time.
target_precompile_headers(luabind_test_main PRIVATE
                          "${LUABIND_TEST_DIR}/test.hpp" <luabind/luabind.hpp>)

foreach(t ${LUABIND_TESTS})
  add_executable(luabind_test_${t} "${LUABIND_TEST_DIR}/test_${t}.cpp")
  target_link_libraries(luabind_test_${t} PRIVATE luabind_test_main)
  target_compile_options(luabind_test_${t} PRIVATE -w)
  target_precompile_headers(luabind_test_${t} REUSE_FROM luabind_test_main)
  add_test(NAME luabind.${t} COMMAND luabind_test_${t})
  set_tests_properties(luabind.${t} PROPERTIES LABELS luabind)
endforeach()
