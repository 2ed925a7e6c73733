#include "mainwindow/velnormain.h"

void VelnorMain::on_payment_do_clicked() { }

void VelnorMain::on_cancel_payment_clicked() { }

void VelnorMain::on_forgot_clicked() { }

void VelnorMain::on_facebook_clicked() { }

void VelnorMain::on_subscription_extend_clicked() { }

void VelnorMain::on_checkout_cancel_clicked() { }

void VelnorMain::on_checkAndroid_clicked() { }
