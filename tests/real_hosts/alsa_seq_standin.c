/* A stand-in ALSA sequencer for hosts run where the kernel offers none (/dev/snd/seq missing):
   preloaded, it answers the sequencer calls that touch the device with an empty, idle
   sequencer (one client, its own ports and queue, no other clients, no events), while
   alsa-lib's own accessors of the info records keep working. */
#define _GNU_SOURCE
#include <errno.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

/* alsa-lib's records are only passed through by pointer here, so no ALSA header is needed. */
typedef struct standin snd_seq_t;
typedef struct seq_record snd_seq_queue_tempo_t, snd_seq_queue_timer_t, snd_seq_queue_status_t,
    snd_seq_event_t, snd_seq_client_info_t, snd_seq_port_info_t, snd_seq_port_subscribe_t,
    snd_seq_query_subscribe_t, snd_seq_remove_events_t;

struct standin { int pipe_fds[2]; int next_port; };

int snd_seq_open(snd_seq_t **seq, const char *name, int streams, int mode)
{
  (void)name; (void)streams; (void)mode;
  struct standin *s = calloc(1, sizeof *s);
  if (!s || pipe(s->pipe_fds) < 0) { free(s); return -ENOMEM; }
  *seq = s;
  return 0;
}
int snd_seq_close(snd_seq_t *seq) { close(seq->pipe_fds[0]); close(seq->pipe_fds[1]); free(seq); return 0; }
int snd_seq_client_id(snd_seq_t *seq) { (void)seq; return 128; }
int snd_seq_set_client_name(snd_seq_t *seq, const char *name) { (void)seq; (void)name; return 0; }
int snd_seq_create_simple_port(snd_seq_t *seq, const char *name, unsigned int caps, unsigned int type)
{ (void)name; (void)caps; (void)type; return seq->next_port++; }
int snd_seq_delete_simple_port(snd_seq_t *seq, int port) { (void)seq; (void)port; return 0; }
int snd_seq_alloc_queue(snd_seq_t *seq) { (void)seq; return 0; }
int snd_seq_free_queue(snd_seq_t *seq, int q) { (void)seq; (void)q; return 0; }
int snd_seq_set_queue_tempo(snd_seq_t *seq, int q, snd_seq_queue_tempo_t *t) { (void)seq; (void)q; (void)t; return 0; }
int snd_seq_get_queue_tempo(snd_seq_t *seq, int q, snd_seq_queue_tempo_t *t) { (void)seq; (void)q; (void)t; return 0; }
int snd_seq_set_queue_timer(snd_seq_t *seq, int q, snd_seq_queue_timer_t *t) { (void)seq; (void)q; (void)t; return 0; }
int snd_seq_get_queue_status(snd_seq_t *seq, int q, snd_seq_queue_status_t *st) { (void)seq; (void)q; (void)st; return 0; }
int snd_seq_control_queue(snd_seq_t *seq, int q, int type, int value, snd_seq_event_t *ev)
{ (void)seq; (void)q; (void)type; (void)value; (void)ev; return 0; }
int snd_seq_event_output(snd_seq_t *seq, snd_seq_event_t *ev) { (void)seq; (void)ev; return 0; }
int snd_seq_event_output_direct(snd_seq_t *seq, snd_seq_event_t *ev) { (void)seq; (void)ev; return 0; }
int snd_seq_drain_output(snd_seq_t *seq) { (void)seq; return 0; }
int snd_seq_drop_output(snd_seq_t *seq) { (void)seq; return 0; }
int snd_seq_drop_input(snd_seq_t *seq) { (void)seq; return 0; }
int snd_seq_event_input(snd_seq_t *seq, snd_seq_event_t **ev) { (void)seq; *ev = NULL; return -EAGAIN; }
int snd_seq_event_input_pending(snd_seq_t *seq, int fetch) { (void)seq; (void)fetch; return 0; }
int snd_seq_free_event(snd_seq_event_t *ev) { (void)ev; return 0; }
int snd_seq_poll_descriptors_count(snd_seq_t *seq, short events) { (void)seq; (void)events; return 1; }
int snd_seq_poll_descriptors(snd_seq_t *seq, struct pollfd *pfds, unsigned int space, short events)
{
  if (space < 1) return 0;
  pfds[0].fd = seq->pipe_fds[0]; pfds[0].events = events & POLLIN; pfds[0].revents = 0;
  return 1;
}
int snd_seq_query_next_client(snd_seq_t *seq, snd_seq_client_info_t *info) { (void)seq; (void)info; return -ENOENT; }
int snd_seq_query_next_port(snd_seq_t *seq, snd_seq_port_info_t *info) { (void)seq; (void)info; return -ENOENT; }
int snd_seq_get_any_client_info(snd_seq_t *seq, int client, snd_seq_client_info_t *info)
{ (void)seq; (void)client; (void)info; return -ENOENT; }
int snd_seq_get_any_port_info(snd_seq_t *seq, int client, int port, snd_seq_port_info_t *info)
{ (void)seq; (void)client; (void)port; (void)info; return -ENOENT; }
int snd_seq_get_port_info(snd_seq_t *seq, int port, snd_seq_port_info_t *info) { (void)seq; (void)port; (void)info; return 0; }
int snd_seq_set_port_info(snd_seq_t *seq, int port, snd_seq_port_info_t *info) { (void)seq; (void)port; (void)info; return 0; }
int snd_seq_subscribe_port(snd_seq_t *seq, snd_seq_port_subscribe_t *sub) { (void)seq; (void)sub; return -ENOENT; }
int snd_seq_unsubscribe_port(snd_seq_t *seq, snd_seq_port_subscribe_t *sub) { (void)seq; (void)sub; return -ENOENT; }
int snd_seq_query_port_subscribers(snd_seq_t *seq, snd_seq_query_subscribe_t *q) { (void)seq; (void)q; return -ENOENT; }
int snd_seq_remove_events(snd_seq_t *seq, snd_seq_remove_events_t *r) { (void)seq; (void)r; return 0; }
