#include "rowreader.h"

const QVector<FieldDef<_MsgChat>>& chatFields()
{
    using R = _MsgChat;
    static const QVector<FieldDef<R>> fields = {
        {"rowid", &R::ROWID},
        {"guid", &R::guid},
        {"style", &R::style},
        {"state", &R::state},
        {"account_id", &R::account_id},
        {"properties", &R::properties},
        {"chat_identifier", &R::chat_identifier},
        {"service_name", &R::service_name},
        {"room_name", &R::room_name},
        {"account_login", &R::account_login},
        {"is_archived", &R::is_archived},
        {"last_addressed_handle", &R::last_addressed_handle},
        {"display_name", &R::display_name},
        {"_last", &R::_last},
        {"group_id", &R::group_id},
    };
    return fields;
}

const QVector<FieldDef<_MsgHandle>>& handleFields()
{
    using R = _MsgHandle;
    static const QVector<FieldDef<R>> fields = {
        {"rowid", &R::ROWID},
        {"id", &R::id},
        {"country", &R::country},
        {"service", &R::service},
        {"uncanonicalized_id", &R::uncanonicalized_id},
        {"_ct_name", &R::_ct_name},
        {"_photo", &R::_photo},
    };
    return fields;
}

const QVector<FieldDef<_MsgMessage>>& messageFields()
{
    using R = _MsgMessage;
    static const QVector<FieldDef<R>> fields = {
        {"rowid", &R::ROWID},
        {"guid", &R::guid},
        {"text", &R::text},
        {"replace", &R::replace},
        {"service_center", &R::service_center},
        {"handle_id", &R::handle_id},
        {"subject", &R::subject},
        {"country", &R::country},
        {"attributedBody", &R::attributedBody},
        {"version", &R::version},
        {"type", &R::type},
        {"service", &R::service},
        {"account", &R::account},
        {"account_guid", &R::account_guid},
        {"error", &R::error},
        {"date", &R::date},
        {"date_read", &R::date_read},
        {"date_delivered", &R::date_delivered},
        {"is_delivered", &R::is_delivered},
        {"is_finished", &R::is_finished},
        {"is_emote", &R::is_emote},
        {"is_from_me", &R::is_from_me},
        {"is_empty", &R::is_empty},
        {"is_delayed", &R::is_delayed},
        {"is_auto_reply", &R::is_auto_reply},
        {"is_prepared", &R::is_prepared},
        {"is_read", &R::is_read},
        {"is_system_message", &R::is_system_message},
        {"is_sent", &R::is_sent},
        {"has_dd_results", &R::has_dd_results},
        {"is_service_message", &R::is_service_message},
        {"is_forward", &R::is_forward},
        {"was_downgraded", &R::was_downgraded},
        {"is_archive", &R::is_archive},
        {"cache_has_attachments", &R::cache_has_attachments},
        {"cache_roomnames", &R::cache_roomnames},
        {"was_data_detected", &R::was_data_detected},
        {"was_deduplicated", &R::was_deduplicated},
        {"is_audio_message", &R::is_audio_message},
        {"is_played", &R::is_played},
        {"date_played", &R::date_played},
        {"item_type", &R::item_type},
        {"other_handle", &R::other_handle},
        {"group_title", &R::group_title},
        {"group_action_type", &R::group_action_type},
        {"share_status", &R::share_status},
        {"share_direction", &R::share_direction},
        {"is_expirable", &R::is_expirable},
        {"expire_state", &R::expire_state},
        {"message_action_type", &R::message_action_type},
    };
    return fields;
}

const QVector<FieldDef<_MsgAttachment>>& attachmentFields()
{
    using R = _MsgAttachment;
    static const QVector<FieldDef<R>> fields = {
        {"rowid", &R::ROWID},
        {"guid", &R::guid},
        {"created_date", &R::created_date},
        {"start_date", &R::start_date},
        {"filename", &R::filename},
        {"uti", &R::uti},
        {"mime_type", &R::mime_type},
        {"transfer_state", &R::transfer_state},
        {"is_outgoing", &R::is_outgoing},
        {"user_info", &R::user_info},
        {"transfer_name", &R::transfer_name},
        {"total_bytes", &R::total_bytes},
        {"content_hash", &R::content_hash},
        {"sent_bytes", &R::sent_bytes},
        {"sent_hash", &R::sent_hash},
        {"origin_bytes", &R::origin_bytes},
        {"origin_hash", &R::origin_hash},
    };
    return fields;
}
