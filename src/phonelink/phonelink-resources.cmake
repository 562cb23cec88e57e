# The Phone Agent package travels inside the application as ":/res/<name>".
qt_add_resources(phonelink "phoneagent"
  PREFIX "/res"
  BASE ${CMAKE_CURRENT_SOURCE_DIR}/resources
  FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/com.quillharbor.phoneagent.apk)
