# Test isolation: every test added anywhere in this tree gets
#   HOME            = <build>/test-home/<test name>
#   XDG_DATA_HOME   = $HOME/.local/share,  XDG_CONFIG_HOME = $HOME/.config,
#   XDG_CACHE_HOME  = $HOME/.cache,        XDG_STATE_HOME  = $HOME/.local/state
# through ENVIRONMENT_MODIFICATION, which a test's own ENVIRONMENT property does not
# replace. A test that needs other folders sets them inside its own process or script.
#
# Every test also requires the fixture test_isolation, whose setup isolation_every_test
# (tests/CMakeLists.txt) checks that each test of the tree runs with these folders, from
# what CTest would give it whatever the caller's environment; isolation_own_folders checks
# them from inside a test's own process.
set(GW_TEST_HOME_ROOT ${CMAKE_BINARY_DIR}/test-home)
set(gw_isolation_audit isolation_every_test)

function(gw_isolate_test name)
  set(home ${GW_TEST_HOME_ROOT}/${name})
  file(MAKE_DIRECTORY ${home}/.local/share ${home}/.local/state ${home}/.config ${home}/.cache)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT_MODIFICATION
               HOME=set:${home}
               XDG_DATA_HOME=set:${home}/.local/share
               XDG_CONFIG_HOME=set:${home}/.config
               XDG_CACHE_HOME=set:${home}/.cache
               XDG_STATE_HOME=set:${home}/.local/state)
  if(NOT name STREQUAL gw_isolation_audit)
    set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED test_isolation)
  endif()
endfunction()

# add_test as CMake has it, then the isolation above. Every add_test in this tree has
# the NAME form (the old signature's tests could not take properties anyway).
function(add_test)
  _add_test(${ARGV})
  if(ARGV0 STREQUAL "NAME")
    gw_isolate_test(${ARGV1})
  endif()
endfunction()
