# Test isolation: every test added anywhere in this tree gets
#   HOME            = <build>/test-home/<test name>
#   XDG_DATA_HOME   = $HOME/.local/share,  XDG_CONFIG_HOME = $HOME/.config,
#   XDG_CACHE_HOME  = $HOME/.cache
# through ENVIRONMENT_MODIFICATION, which a test's own ENVIRONMENT property does not
# replace. A test that needs other folders sets them inside its own process or script.
#
# Every test also requires the fixture user_folders: its setup lists the real data and
# configuration folders of grainwheel before the run, its cleanup compares them after it.
# Those two tests see the caller's environment unchanged.
set(GW_TEST_HOME_ROOT ${CMAKE_BINARY_DIR}/test-home)
set(gw_user_folder_tests user_folders_before user_folders_unchanged)

function(gw_isolate_test name)
  if(name IN_LIST gw_user_folder_tests)
    return()
  endif()
  set(home ${GW_TEST_HOME_ROOT}/${name})
  file(MAKE_DIRECTORY ${home}/.local/share ${home}/.config ${home}/.cache)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT_MODIFICATION
               HOME=set:${home}
               XDG_DATA_HOME=set:${home}/.local/share
               XDG_CONFIG_HOME=set:${home}/.config
               XDG_CACHE_HOME=set:${home}/.cache)
  set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED user_folders)
endfunction()

# add_test as CMake has it, then the isolation above. Every add_test in this tree has
# the NAME form (the old signature's tests could not take properties anyway).
function(add_test)
  _add_test(${ARGV})
  if(ARGV0 STREQUAL "NAME")
    gw_isolate_test(${ARGV1})
  endif()
endfunction()
