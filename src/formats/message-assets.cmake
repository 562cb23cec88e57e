# The message pages' run-time files beside the executable: the bubble frame
# pictures, "bubble/empty_photo.jpg" and one picture per emoji code are drawn
# by tools/assets/gen_message_assets.cpp at build time; the bubble style
# sheet is copied from src/resources/app/bubble.
add_executable(gen_message_assets ${PROJECT_SOURCE_DIR}/tools/assets/gen_message_assets.cpp)
target_link_libraries(gen_message_assets PRIVATE app_options Qt6::Gui)
set_target_properties(gen_message_assets PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

set(MESSAGE_ASSETS_STAMP ${CMAKE_CURRENT_BINARY_DIR}/message_assets.stamp)
set(MESSAGE_STYLE_CSS ${PROJECT_SOURCE_DIR}/src/resources/app/bubble/style.css)
add_custom_command(OUTPUT ${MESSAGE_ASSETS_STAMP}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:gen_message_assets> ${APP_OUTPUT_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${MESSAGE_STYLE_CSS} ${APP_OUTPUT_DIR}/bubble/style.css
  COMMAND ${CMAKE_COMMAND} -E touch ${MESSAGE_ASSETS_STAMP}
  DEPENDS gen_message_assets ${MESSAGE_STYLE_CSS}
  COMMENT "Drawing the bubble and emoji pictures"
  VERBATIM)
add_custom_target(message_assets ALL DEPENDS ${MESSAGE_ASSETS_STAMP})
if(TARGET formats)
  add_dependencies(formats message_assets)
endif()
