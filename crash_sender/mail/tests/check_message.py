"""Parses a message the mail client sent, as a mail reader would (Python's email).

usage: check_message.py MESSAGE [ATTACHMENT]

Prints one "key=value" line each: subject, from, to, the text part's charset and
its decoded bytes in hex, the attachment's file name, and whether the attachment
decodes to exactly the bytes of the file ATTACHMENT.
"""
import email
import email.policy
import sys


def main():
    with open(sys.argv[1], "rb") as f:
        message = email.message_from_bytes(f.read(), policy=email.policy.default)
    print(f"subject={message['Subject']}")
    print(f"from={message['From']}")
    print(f"to={message['To']}")
    print(f"multipart={message.get_content_type()}")
    for part in message.iter_parts():
        if part.get_content_type() == "text/plain":
            print(f"text_charset={part.get_content_charset()}")
            print(f"text_hex={part.get_payload(decode=True).hex()}")
        elif part.get_content_disposition() == "attachment":
            print(f"filename={part.get_filename()}")
            if len(sys.argv) > 2:
                with open(sys.argv[2], "rb") as f:
                    expected = f.read()
                print(f"attachment_matches={'yes' if part.get_payload(decode=True) == expected else 'no'}")
    print(f"defects={len(message.defects)}")


main()
