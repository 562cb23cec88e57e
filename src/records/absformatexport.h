// The one interface of every exporter, for contacts and for messages: begin
// the output, write one record at a time, end the output. Header-only, so
// that writers below the formats library (the message store writer) can
// implement it too. It lives with the records, below both.
#pragma once

template <typename T> class AbsFormatExport {
public:
    virtual ~AbsFormatExport() = default;

    // Creates the output. Failures throw std::runtime_error whose text (UTF-8)
    // is shown to the user.
    virtual void begin() = 0;
    // Appends one record; throws as begin() does.
    virtual void write(const T& record) = 0;
    // Finishes and closes the output; a failure to complete it throws too.
    virtual void end() = 0;

    AbsFormatExport(const AbsFormatExport&) = delete;
    AbsFormatExport& operator=(const AbsFormatExport&) = delete;

protected:
    AbsFormatExport() = default;
};
